"""A song is started while the sound server is away (restarting, or not up yet after login): it
waits for the server and sounds once it is there, with no box."""

import time

from desk import (DesktopCase, Recorder, current_title, kill_sound_server, main, note_hz, poll,
                  restart_sound_server, sounding_tail, start_with_a_song_sounding)

B = note_hz(76) / 4  # the organ sounds two octaves below the written note


class SoundServerAway(DesktopCase):
    def test_a_song_started_while_the_server_is_away_sounds_once_it_is_back(self):
        p, rec = start_with_a_song_sounding(self)
        p.press("stop")
        rec.stop()
        kill_sound_server()
        # b.mid is chosen and played while there is no server: it waits for one.
        p.choose_entry(1)
        p.press("play")
        time.sleep(1.5)
        self.assertEqual(p.boxes(), [])
        restart_sound_server()
        rec = Recorder()
        try:
            poll(lambda: sounding_tail(rec.samples(), 0.3, B), "b.mid sounding")
        finally:
            rec.stop()
        self.assertEqual(current_title(), "b.mid")
        self.assertEqual(p.boxes(), [])


if __name__ == "__main__":
    main()
