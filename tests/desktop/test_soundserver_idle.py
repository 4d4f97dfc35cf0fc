"""The sound server goes away while no MIDI song plays (the MIDI output writes nothing then):
the next song's start asks after the server and says it is gone, instead of playing unheard."""

from desk import (DesktopCase, current_title, kill_sound_server, main, poll, silent_tail,
                  start_with_a_song_sounding)


class SoundServerWhileIdle(DesktopCase):
    def test_a_start_after_the_server_went_away_is_refused(self):
        p, rec = start_with_a_song_sounding(self)
        p.press("stop")
        # A second of silence: the song's last sound is long handed over and the output idles.
        poll(lambda: silent_tail(rec.samples(), 1.0), "silence after the stop")
        self.assertEqual(p.boxes(), [])
        kill_sound_server()
        # Stop closed the item; the next one is chosen and played.
        p.choose_entry(1)
        p.press("play")
        poll(lambda: p.boxes(), "the box for the start without a sound server")
        # The box is b.mid's own: had its start gone through, b.mid would have played unheard
        # and the box would come only for the song after it.
        self.assertEqual(current_title(), "b.mid")
        self.assertTrue(p.alive(), p.output())


if __name__ == "__main__":
    main()
