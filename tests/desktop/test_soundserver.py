"""The sound server goes away while a MIDI song plays, as a crashed one would: the song still
ends in its time, the next song's start finds no server and says so, and the player lives on."""

from desk import DesktopCase, current_title, kill_sound_server, main, poll, start_with_a_song_sounding


class SoundServer(DesktopCase):
    def test_a_song_ends_in_its_time_after_the_sound_server_went_away(self):
        p, _ = start_with_a_song_sounding(self)
        poll(lambda: current_title() == "a.mid", "a.mid as the current item")
        kill_sound_server()
        # Unheard, a.mid plays on to its end; b.mid follows in continuous play, and its start
        # reports that there is nothing to play on instead of playing silently.
        poll(lambda: current_title() == "b.mid", "b.mid after a.mid's end", limit=15)
        poll(lambda: p.boxes(), "the box for b.mid's start")
        self.assertTrue(p.alive(), p.output())


if __name__ == "__main__":
    main()
