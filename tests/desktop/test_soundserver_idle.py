"""The sound server goes away while no MIDI song plays (the MIDI output writes nothing then) and
comes back: the next song's start finds it gone, waits for it, and sounds once it is back,
rather than playing unheard or failing."""

import time

from desk import (DesktopCase, Recorder, current_title, kill_sound_server, main, note_hz, poll,
                  restart_sound_server, silent_tail, sounding_tail, start_with_a_song_sounding)


class SoundServerWhileIdle(DesktopCase):
    def test_a_start_after_the_server_went_away_waits_for_it(self):
        p, rec = start_with_a_song_sounding(self)
        p.press("stop")
        # A second of silence: the song's last sound is long handed over and the output idles.
        poll(lambda: silent_tail(rec.samples(), 1.0), "silence after the stop")
        rec.stop()
        kill_sound_server()
        restart_sound_server()  # back before the next song: the idle stream is a dead one
        time.sleep(0.5)
        rec = Recorder()
        try:
            p.choose_entry(1)
            p.press("play")
            poll(lambda: sounding_tail(rec.samples(), 0.3, note_hz(76) / 4), "b.mid sounding")
        finally:
            rec.stop()
        self.assertEqual(current_title(), "b.mid")
        self.assertEqual(p.boxes(), [])
        self.assertTrue(p.alive(), p.output())


if __name__ == "__main__":
    main()
