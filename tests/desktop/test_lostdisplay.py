"""The display goes away under the player (the X server ends, as when a remote session drops or
the server crashes): the player ends, as X11 programs do, but writes its settings first."""

import os
import signal

from desk import TWIPS_PER_PX, DesktopCase, geometry, main, poll, run, settings


class LostDisplay(DesktopCase):
    def test_the_settings_changed_since_start_are_written(self):
        p = self.start()
        p.menu("alt+s", "p", "p")  # 単再生
        p.menu("alt+s", "e", "b")  # メッセージを出さない
        p.magnification(5)  # 2.5倍
        run("xdotool", "windowmove", "--sync", str(p.main), "140", "110")
        poll(lambda: geometry(p.main)[:2] != (0, 0), "the main window to move")
        x, y = geometry(p.main)[:2]
        os.kill(int(os.environ["ZYPO_DESKTOP_X_PID"]), signal.SIGKILL)
        p.wait_exit()
        s = settings()
        self.assertEqual(s["Data"]["Play_Mode"], " 2")
        self.assertEqual(s["Data"]["Play_Err"], " 2")
        self.assertEqual(s["Data"]["Avi_Size"], " 2.5")
        self.assertAlmostEqual(int(s["Main"]["Left"]), x * TWIPS_PER_PX, delta=20 * TWIPS_PER_PX)
        self.assertAlmostEqual(int(s["Main"]["Top"]), y * TWIPS_PER_PX, delta=40 * TWIPS_PER_PX)


if __name__ == "__main__":
    main()
