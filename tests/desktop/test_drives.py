"""A volume mounted while the player runs appears in its drive list without the list being opened,
and its files play; unmounted, it leaves the list and the browser goes back to C:.

Runs in a mount namespace of its own (unshare, as root), so that its mounts touch nothing else."""

import os
import subprocess
import tempfile

from desk import (DesktopCase, Recorder, key, main, make, poll, silent_tail, sounding_tail)


class Drives(DesktopCase):
    def test_a_volume_mounted_after_start_appears_plays_and_goes(self):
        if os.geteuid() != 0:
            raise SystemExit("desktop suite: the drives test mounts a volume and must run as root")
        point = tempfile.mkdtemp(prefix="zypo-stick-", dir="/mnt")
        rec = Recorder()
        try:
            p = self.start()
            subprocess.run(["mount", "-t", "tmpfs", "-o", "size=8m", "zypo-stick", point], check=True)
            make("tone", os.path.join(point, "stick.wav"), 440, 6000)
            # The drive list, closed: focus it from the folder list (tab order) and take its last
            # drive with the End key. Only a list that followed the mount table has the stick.
            p.click("main0Dir", dx=20, dy=6)
            key("Tab", "End")
            p.choose_entry(0)
            p.press("play")
            poll(lambda: sounding_tail(rec.samples(), 0.3, 440.0), "the stick's tone")
            # Pulled out while it plays: the list loses it, the browser goes to C: (closing the item).
            subprocess.run(["umount", "-l", point], check=True)
            poll(lambda: silent_tail(rec.samples(), 0.5), "the item closed with its drive")
            self.assertTrue(p.alive(), p.output())
            self.assertEqual(p.boxes(), [])
        finally:
            rec.stop()
            subprocess.run(["umount", "-l", point], stderr=subprocess.DEVNULL)
            os.rmdir(point)


if __name__ == "__main__":
    main()
