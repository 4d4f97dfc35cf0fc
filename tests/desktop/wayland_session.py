"""The player on a Wayland session: with XWayland (GNOME, KDE Plasma, sway), where it takes the X11
platform, and without any X server (kiosk compositors), where Qt's Wayland platform serves. Each
kind of session shows a clip's own picture at every magnification, brings the picture to the
front in screen mode 2, plays the items in order and keeps the settings when the close box
ends the player."""

import os

from desk import Recorder, heard_in_order, make, playing_streams, poll, settings, sounding_tail
from wdesk import (SESSION, BusyCompositor, WaylandCase, close_box, content, focus, focused, main, mpris,
                   mpris_title, screenshot)

GREY = bytes([192, 192, 192])


def colours(rgb, step=7):
    return len({rgb[i:i + 3] for i in range(0, len(rgb) - 2, 3 * step)})


def picture_shown(view):
    """The picture, not an empty rectangle: many colours, and not the picture box's grey."""
    if not view:
        return False
    _, _, rgb = screenshot(view)
    grey = sum(1 for i in range(0, len(rgb), 3 * 11) if rgb[i:i + 3] == GREY)
    return colours(rgb) >= 6 and grey < len(rgb) // (3 * 11) // 2


class Wayland(WaylandCase):
    def setUp(self):
        super().setUp()
        make("tone", self.path("a.wav"), 440, 1200)
        # 160 × 120 colour bars with a sound track, 8 s.
        make("avi", self.path("clip.avi"), 160, 120, 80, 660)

    def expected_shell(self):
        # With an X server announced the player takes the X11 platform (screen modes need it).
        return "xwayland" if SESSION == "wayland" else "xdg_shell"

    def test_the_picture_at_half_one_and_four_times(self):
        p = self.start("clip.avi")
        self.assertEqual(p.main_view()["shell"], self.expected_shell())
        poll(p.video, "the clip opened")  # its window comes up while the keys would be typed
        for index, size in [(1, (80, 60)), (2, (160, 120)), (8, (640, 480))]:
            p.magnification(index)
            # Stopped and played again from the desktop's controls: the clip opens anew at the
            # magnification chosen.
            mpris("Stop")
            poll(lambda: not p.video(), "the video window to close")
            mpris("Play")
            poll(lambda: (v := p.video()) and content(v)[2:] == size, f"a {size[0]}×{size[1]} picture")
            poll(lambda: picture_shown(p.video()), f"the picture at {size[0]}×{size[1]}")
            # Screen mode 2: the picture is brought to the front as it starts (before the next
            # keys go to the main window).
            poll(lambda: (v := p.video()) and focused() == v["id"], "the video window focused")
        self.assertEqual(p.video()["shell"], self.expected_shell())

    def test_mode_two_brings_the_picture_to_the_front_when_it_starts(self):
        p = self.start("a.wav")  # a.wav, then clip.avi in continuous play; mode 2 is the default
        # The user works with the player (a key in its window): a compositor hands the front to
        # a program's other window only when that program has the user's attention.
        p.menu("Shift_L")
        mpris("Play")
        poll(lambda: mpris_title() == "clip.avi", "the clip playing")
        poll(lambda: (v := p.video()) and focused() == v["id"], "the video window focused")
        poll(lambda: picture_shown(p.video()), "the picture")

    def test_mode_two_brings_the_picture_to_the_front_on_a_busy_machine(self):
        p = self.start("clip.avi")
        p.menu("Shift_L")
        busy = BusyCompositor()
        self.addCleanup(busy.stop)
        for _ in range(3):
            # A compositor takes a request for a window it has not shown yet as a launch notice,
            # not as a request for the front: the picture is asked for until it is there.
            mpris("Play")
            poll(lambda: (v := p.video()) and focused() == v["id"], "the video window focused")
            mpris("Stop")
            poll(lambda: not p.video(), "the video window to close")

    def test_mode_three_shows_the_picture_in_front_and_no_box(self):
        p = self.start("a.wav")
        p.menu("alt+s", "c", "c")  # 画面ﾓｰﾄﾞ → 常に前へ
        mpris("Play")
        poll(lambda: mpris_title() == "clip.avi", "the clip playing")
        poll(lambda: picture_shown(p.video()), "the picture")
        if SESSION == "wayland-only":
            # Nothing keeps a window above here: the picture comes to the front as in mode 2.
            poll(lambda: (v := p.video()) and focused() == v["id"], "the video window focused")
        others = [v["name"] for v in p.windows() if v["id"] not in (p.main["id"], p.video()["id"])]
        self.assertEqual(others, [])

    def test_a_clip_after_a_clip_at_its_end_shows_in_a_window_of_its_own(self):
        # The second clip goes on in the first one's player and sound stream. Its picture is
        # drawn into the window the player had (XWayland), which moves into the second clip's
        # own, or rendered by the player's renderer (no X server), which the second clip's
        # window paints from then on: its own picture, at its size.
        make("avi", self.path("b1.avi"), 160, 120, 15, 440)
        make("avi", self.path("b2.avi"), 96, 72, 60, 660)
        rec = Recorder()
        self.addCleanup(rec.stop)
        p = self.start("b1.avi")
        mpris("Play")
        poll(lambda: sounding_tail(rec.samples(), 0.3, 440), "the first clip sounding")
        streams = playing_streams()
        poll(lambda: sounding_tail(rec.samples(), 0.3, 660), "the second clip sounding")
        self.assertEqual(playing_streams(), streams)
        poll(lambda: mpris_title() == "b2.avi", "the second clip playing")
        poll(lambda: (v := p.video()) and v["name"].endswith("b2.avi)"), "the second clip's window")
        poll(lambda: content(p.video())[2:] == (96, 72), "a 96×72 picture")
        poll(lambda: picture_shown(p.video()), "the second picture")
        rec.wait_seconds(0.5)
        heard = heard_in_order(rec.samples(), [440, 660])
        self.assertEqual(heard[:2], [0, 1], heard)

    def test_the_items_play_in_list_order_and_wrap(self):
        make("tone", self.path("b.wav"), 659, 1200)
        os.unlink(self.path("clip.avi"))  # only the two tones in the folder
        rec = Recorder()
        self.addCleanup(rec.stop)
        p = self.start("a.wav")
        mpris("Play")
        rec.wait_seconds(4.5)
        heard = heard_in_order(rec.samples(), [440, 659])
        self.assertEqual(heard[:3], [0, 1, 0], heard)
        self.assertTrue(p.alive())

    def test_the_settings_are_kept_when_the_close_box_ends_it(self):
        p = self.start()
        p.magnification(5)  # 2.5×
        p.menu("alt+s", "c", "c")  # 画面ﾓｰﾄﾞ → 常に前へ
        close_box(p.main["id"])
        self.assertEqual(p.wait_exit(), 0)
        s = settings()
        self.assertEqual(s["Data"]["Avi_Size"], " 2.5")
        self.assertEqual(s["Data"]["Play_Window"], " 3")


if __name__ == "__main__":
    main()
