"""The sound server goes away while a MIDI song plays, as a crashed one would: the song still
ends in its time, the next song's start finds no server and says so, and the player lives on."""

import os
import signal

from desk import DesktopCase, Recorder, current_title, make, main, note_hz, poll, sounding_tail


class SoundServer(DesktopCase):
    def test_a_song_ends_in_its_time_after_the_sound_server_went_away(self):
        make("note", self.path("a.mid"), 69, 3000)
        make("note", self.path("b.mid"), 76, 3000)
        p = self.start()
        rec = Recorder()
        p.choose_entry(0)
        p.press("play")
        poll(lambda: sounding_tail(rec.samples(), 0.3, note_hz(69) / 4), "a.mid sounding")
        poll(lambda: current_title() == "a.mid", "a.mid as the current item")
        os.kill(int(os.environ["ZYPO_DESKTOP_PULSE_PID"]), signal.SIGKILL)
        # Unheard, a.mid plays on to its end; b.mid follows in continuous play, and its start
        # reports that there is nothing to play on instead of playing silently.
        poll(lambda: current_title() == "b.mid", "b.mid after a.mid's end", limit=15)
        poll(lambda: p.boxes(), "the box for b.mid's start")
        self.assertTrue(p.alive(), p.output())


if __name__ == "__main__":
    main()
