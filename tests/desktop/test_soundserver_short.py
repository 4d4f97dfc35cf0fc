"""Short WAV items in continuous play while the sound server is ended and started again, four
times. The server's end often falls while mpv hands over an item's last sound or sets a stream
up, which can leave mpv waiting on a dead stream for ever: the run must go on by itself all the
same, with no box."""

import time

from desk import (DesktopCase, current_title, kill_sound_server, main, make, poll,
                  restart_sound_server)


class SoundServerShortItems(DesktopCase):
    def test_short_items_go_on_through_restarts(self):
        names = [f"{i}.wav" for i in range(8)]
        for i, name in enumerate(names):
            make("tone", self.path(name), 300 + 50 * i, 150)
        p = self.start()
        p.choose_entry(0)
        p.press("play")
        for _ in range(4):
            time.sleep(1.0)
            kill_sound_server()
            time.sleep(2.0)
            restart_sound_server()
            # Play goes on by itself: the current item changes within a few seconds.
            seen = current_title(names)
            poll(lambda: current_title(names) not in ("", seen), "the next item after the restart")
        self.assertEqual(p.boxes(), [])
        self.assertTrue(p.alive(), p.output())



if __name__ == "__main__":
    main()
