"""The nine settings after each way of ending the player, and the playlist editor's search and
save from the mouse."""

import os
import signal

from desk import (TWIPS_PER_PX, DesktopCase, activate, active_window, click_at, geometry, key, main,
                  make, poll, run, settings, window_name)


class Settings(DesktopCase):
    def setUp(self):
        super().setUp()
        make("tone", self.path("a.wav"), 440, 500)

    def choose_options(self, p):
        p.menu("alt+s", "p", "p")  # 単再生
        p.menu("alt+s", "c", "c")  # 常に前へ
        p.menu("alt+s", "e", "b")  # メッセージを出さない
        p.magnification(5)  # 2.5倍
        run("xdotool", "windowmove", "--sync", str(p.main), "120", "90")
        poll(lambda: geometry(p.main)[:2] != (0, 0), "the main window to move")

    def expect_saved(self, p_left, p_top):
        s = settings()
        self.assertEqual(s["Data"]["Play_Mode"], " 2")
        self.assertEqual(s["Data"]["Play_Window"], " 3")
        self.assertEqual(s["Data"]["Play_Err"], " 2")
        self.assertEqual(s["Data"]["Avi_Size"], " 2.5")
        self.assertEqual(s["Data"]["Ini_Mid_File"], "xxxxxxxxXxxx")
        # The frame's place, in twips: within a frame's width of where the client area is.
        self.assertAlmostEqual(int(s["Main"]["Left"]), p_left * TWIPS_PER_PX, delta=20 * TWIPS_PER_PX)
        self.assertAlmostEqual(int(s["Main"]["Top"]), p_top * TWIPS_PER_PX, delta=40 * TWIPS_PER_PX)
        # No video was shown in this run: the video window's place is the first start's.
        self.assertEqual(s["Video"]["Left"], " 0")
        self.assertEqual(s["Video"]["Top"], " 0")

    def end_and_check(self, how):
        p = self.start()
        self.choose_options(p)
        x, y = geometry(p.main)[:2]
        how(p)
        self.assertEqual(p.wait_exit(), 0)
        self.expect_saved(x, y)
        # The next start shows what was saved.
        again = self.start()
        poll(lambda: abs(geometry(again.main)[0] - x) <= 2 and abs(geometry(again.main)[1] - y) <= 2,
             "the main window back where it was")

    def test_after_the_quit_menu_item(self):
        self.end_and_check(lambda p: p.menu("alt+f", "e"))  # ﾌｧｲﾙ → 終了

    def test_after_the_close_box(self):
        def close_box(p):
            activate(p.main)
            poll(lambda: active_window() == p.main, "the main window active")
            key("alt+F4")  # the window manager's close, as the title bar's box does
        self.end_and_check(close_box)

    def test_after_sigterm_at_logout(self):
        self.end_and_check(lambda p: p.proc.send_signal(signal.SIGTERM))


# The editor's controls (twips, in its client area).
EDITOR = {
    "DefFileOk": (7560, 120, 1215, 375),
    "DefFileSub": (4920, 1440, 735, 375),
}


class Editor(DesktopCase):
    def test_search_and_save_from_the_mouse(self):
        for rel in ("a.mid", "x/b.wav", "x/y/c.avi", "z/d.mid", "z/notes.txt"):
            os.makedirs(os.path.dirname(self.path(rel)) or self.dir, exist_ok=True)
            with open(self.path(rel), "wb") as f:
                f.write(b"media")
        p = self.start()
        p.menu("alt+f", "r")  # 連続再生ﾌｧｲﾙの作成
        ed = poll(lambda: next((w for w, n in p.windows() if n == "連続再生ﾌｧｲﾙの作成"), 0), "the editor")
        poll(lambda: active_window() == ed, "the editor active")

        def click(name):
            left, top, width, height = EDITOR[name]
            g = geometry(ed)
            click_at(g[0] + (left + width // 2) // TWIPS_PER_PX, g[1] + (top + height // 2) // TWIPS_PER_PX)

        click("DefFileSub")  # 全検索
        box = poll(lambda: next((w for w, n in p.windows() if n.endswith("(全検索､全選択 )")), 0),
                   "the search's closing message")
        activate(box)
        key("Return")
        poll(lambda: active_window() == ed, "the editor again")
        click("DefFileOk")  # 保存
        poll(lambda: not any(n == "連続再生ﾌｧｲﾙの作成" for _, n in p.windows()), "the editor to close")
        with open(self.path("ZYPO.RZ0"), "rb") as f:
            written = f.read()
        root = "C:" + self.dir.replace("/", "\\")
        expect = [root + "\\a.mid", root + "\\x\\b.wav", root + "\\x\\y\\c.avi", root + "\\z\\d.mid"]
        self.assertEqual(written, "".join(e + "\r\n" for e in expect).encode("cp932"))
        self.assertEqual(window_name(p.main), "ジポプレーヤー")


if __name__ == "__main__":
    main()
