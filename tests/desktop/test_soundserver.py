"""The sound server goes away while a MIDI song plays and comes back a moment later (a restart
after an update, a resume, a crash): the song waits for it and goes on where it was, the next
song follows, and no box holds the run."""

import time

from desk import (DesktopCase, Recorder, current_title, kill_sound_server, main, note_hz, poll,
                  restart_sound_server, sounding_tail, start_with_a_song_sounding, heard_in_order)

A, B = note_hz(69) / 4, note_hz(76) / 4  # the organ sounds two octaves below the written note


class SoundServer(DesktopCase):
    def test_a_song_goes_on_when_the_sound_server_comes_back(self):
        p, rec = start_with_a_song_sounding(self, a_ms=5000)
        poll(lambda: current_title() == "a.mid", "a.mid as the current item")
        kill_sound_server()
        rec.stop()
        time.sleep(2.0)  # the server is away for a while
        self.assertEqual(current_title(), "a.mid")  # a.mid waits, it does not play on unheard
        restart_sound_server()
        rec = Recorder()
        try:
            # The rest of a.mid (most of its five seconds), then b.mid in continuous play.
            poll(lambda: sounding_tail(rec.samples(), 2.0, A), "two seconds more of a.mid")
            poll(lambda: current_title() == "b.mid", "b.mid after a.mid's end")
            poll(lambda: sounding_tail(rec.samples(), 0.3, B), "b.mid sounding")
            rec.wait_seconds(0.5)
            # The notes in the order they were heard (the tracker may lose the organ's note for
            # a moment where its tremolo dips; such stretches are left out).
            heard = heard_in_order(rec.samples(), [A, B])
            self.assertEqual(heard[:2], [0, 1], heard)  # a.mid's rest first, then b.mid
        finally:
            rec.stop()
        self.assertEqual(p.boxes(), [])
        self.assertTrue(p.alive(), p.output())


if __name__ == "__main__":
    main()
