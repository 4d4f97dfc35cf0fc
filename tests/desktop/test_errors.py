"""Broken files in continuous play: message boxes over real windows, messages switched off, the
item closed while a box is up, and the player ending while a box is up."""

import os
import signal

from desk import (DesktopCase, Recorder, activate, active_window, key, main, make, poll, run,
                  settings, tones, transient_for)

A, C = 440.0, 587.33  # a.wav (A4), c.wav (D5)


def media_key(action):
    """A media key, as the desktop sends it: MPRIS on the session bus."""
    run("dbus-send", "--session", "--type=method_call", "--dest=org.mpris.MediaPlayer2.zypo",
        "/org/mpris/MediaPlayer2", f"org.mpris.MediaPlayer2.Player.{action}")


class Errors(DesktopCase):
    def setUp(self):
        super().setUp()
        make("tone", self.path("a.wav"), A, 1200)
        with open(self.path("b.wav"), "wb") as f:
            f.write(b"RIFF\x10\x00\x00\x00WAVEjunk" + os.urandom(4000))  # no playable data
        make("tone", self.path("c.wav"), C, 1200)
        self.rec = Recorder()

    def tearDown(self):
        super().tearDown()  # a failure's report reads the recording
        self.rec.stop()

    def test_a_broken_file_gets_a_box_over_the_main_window_and_play_goes_on(self):
        p = self.start()
        p.choose_entry(0)
        p.press("play")
        box = poll(lambda: p.boxes() and p.boxes()[0], "the error box for b.wav")
        self.assertEqual(transient_for(box), p.main)
        poll(lambda: active_window() == box, "the box to be active")
        key("Return")
        poll(lambda: not p.boxes(), "the box to close")
        self.rec.wait_seconds(1.5)
        heard = [t for t in tones(self.rec.samples(), [A, C]) if t is not None]
        self.assertEqual(heard[:2], [0, 1], "a.wav, then c.wav after the box")

    def test_with_messages_off_the_broken_file_is_passed_over_silently(self):
        p = self.start()
        p.menu("alt+s", "e", "b")  # 連続再生時のエラー → メッセージを出さない
        p.choose_entry(0)
        p.press("play")
        poll(lambda: len([t for t in tones(self.rec.samples(), [A, C]) if t is not None]) >= 2,
             "a.wav and then c.wav", limit=20)
        self.assertEqual(p.boxes(), [])
        heard = [t for t in tones(self.rec.samples(), [A, C]) if t is not None]
        self.assertEqual(heard[:2], [0, 1])

    def test_the_item_closed_from_the_media_keys_while_its_box_is_up(self):
        # A video output that cannot start: the clip opens (its window shown and in front), then
        # its start fails and the box comes up while the video window is there.
        make("avi", self.path("clip.avi"), 160, 120, 40, 660)
        os.unlink(self.path("b.wav"))
        p = self.start(env={"ZYPO_VIDEO": "no-such-output"})
        p.choose_entry(2)  # a.wav, c.wav, clip.avi
        v = poll(p.video, "the clip's window")
        activate(v)  # the user looks at the picture
        poll(lambda: active_window() == v, "the video window active")
        media_key("Play")
        box = poll(lambda: p.boxes() and p.boxes()[0], "the box for the failed start")
        media_key("Stop")  # the item and its window close under the box
        poll(lambda: not p.video(), "the video window to close")
        self.assertTrue(p.alive(), p.output())
        self.assertIn(box, p.boxes())
        activate(box)
        key("Return")
        poll(lambda: not p.boxes(), "the box to close")
        self.assertTrue(p.alive(), p.output())

    def test_shut_down_while_a_box_is_up_ends_the_player(self):
        for i in range(2000):
            with open(self.path(f"broken{i:04}.wav"), "wb") as f:
                f.write(b"not a sound")
        p = self.start()
        p.choose_entry(0)
        p.press("play")  # a.wav, then b.wav fails
        poll(lambda: p.boxes(), "the first error box")
        p.proc.send_signal(signal.SIGTERM)  # logging out
        p.wait_exit()
        self.assertEqual(settings()["Data"]["Play_Mode"], " 1")


if __name__ == "__main__":
    main()
