"""The sound server goes away while a WAV item plays and comes back a moment later: the item
stands while the server is away, goes on where it was once it is back, and the next item (opened
ahead while the server was away) follows; no box holds the run. Short items meet the server's
end while mpv hands over their last sound, which can leave mpv waiting for ever: the run must
go on all the same."""

import time

from desk import (DesktopCase, Recorder, current_title, kill_sound_server, main, make, poll,
                  restart_sound_server, heard_in_order, sounding_tail)

A, B = 440.0, 659.0
NAMES = ("a.wav", "b.wav")


class SoundServerWav(DesktopCase):
    def test_a_wav_goes_on_when_the_sound_server_comes_back(self):
        make("tone", self.path("a.wav"), int(A), 6000)
        make("tone", self.path("b.wav"), int(B), 3000)
        p = self.start()
        rec = Recorder()
        try:
            p.choose_entry(0)
            p.press("play")
            poll(lambda: sounding_tail(rec.samples(), 0.5, A), "a.wav sounding")
            kill_sound_server()
        finally:
            rec.stop()
        time.sleep(2.0)  # the server is away for a while
        self.assertEqual(current_title(NAMES), "a.wav")  # it stands; it does not play on unheard
        self.assertEqual(p.boxes(), [])
        restart_sound_server()
        rec = Recorder()
        try:
            # Most of a.wav's six seconds are still to come, then b.wav in continuous play.
            poll(lambda: sounding_tail(rec.samples(), 2.0, A), "two seconds more of a.wav")
            poll(lambda: current_title(NAMES) == "b.wav", "b.wav after a.wav's end")
            poll(lambda: sounding_tail(rec.samples(), 0.5, B), "b.wav sounding")
            rec.wait_seconds(0.5)
            heard = heard_in_order(rec.samples(), [A, B])
            self.assertEqual(heard[:2], [0, 1], heard)  # a.wav's rest first, then b.wav
        finally:
            rec.stop()
        self.assertEqual(p.boxes(), [])
        self.assertTrue(p.alive(), p.output())


if __name__ == "__main__":
    main()
