"""The interface looks the same whatever the locale: the main window under C.UTF-8 and
en_US.UTF-8 is, pixel for pixel, the window under ja_JP.UTF-8."""

import os

from desk import DesktopCase, main, make, poll, save_screenshot, screenshot


class Locale(DesktopCase):
    def shot(self, locale):
        p = self.start(env={"LANG": locale, "LC_ALL": locale})
        w, h, rgb = screenshot(p.main)
        if os.environ.get("ZYPO_DESKTOP_SHOTS"):
            save_screenshot(p.main, os.path.join(os.environ["ZYPO_DESKTOP_SHOTS"], f"main-{locale}.png"))
        p.menu("alt+f", "e")
        p.wait_exit()
        return w, h, rgb

    def test_the_main_window_is_drawn_the_same_under_every_locale(self):
        make("tone", self.path("a.wav"), 440, 300)
        make("note", self.path("b.mid"), 60, 300)
        japanese = self.shot("ja_JP.UTF-8")
        for other in ("C.UTF-8", "en_US.UTF-8"):
            w, h, rgb = self.shot(other)
            self.assertEqual((w, h), japanese[:2], other)
            differing = sum(1 for i in range(0, len(rgb), 3) if rgb[i:i + 3] != japanese[2][i:i + 3])
            self.assertEqual(differing, 0, f"{differing} pixels differ under {other}")


if __name__ == "__main__":
    main()
