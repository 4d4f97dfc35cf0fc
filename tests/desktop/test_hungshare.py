"""A share that stops answering after a file's first bytes were read: the player's open of that
file waits for it, but the window goes on meanwhile. Stop, another entry and the end of the
player work at once; left alone, the open gives up after its limit and play goes on. The same
holds for a share that goes silent while its file plays."""

import os
import signal
import subprocess
import tempfile

from desk import (DesktopCase, Player, Recorder, current_title, key, main, make, note_hz, poll,
                  settings, smf, sounding_tail)

HANGFS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "hangfs.py")
A, B = 440.0, 659.0
NAMES = ("a.wav", "b.wav", "a.mid", "b.mid")


def long_song(note):
    """A held note with enough controller traffic behind it to make the file larger than what
    the share answers for."""
    events = [(0, bytes([0x90, note, 100]))] + [(0, bytes([0xB0, 7, 100]))] * 8000
    return smf([events + [(96 * 8, bytes([0x80, note, 0]))]])


class HungShare(DesktopCase):
    def setUp(self):
        super().setUp()
        self.source = tempfile.mkdtemp(prefix="zypo-share-")
        self.mount = tempfile.mkdtemp(prefix="zypo-mnt-")
        self.fs = None

    def tearDown(self):
        # A read that waits for the share holds the player's end until the share answers or
        # goes (as a process on a silent network share lingers): the share goes first.
        for p in self.players:
            if p.alive():
                p.proc.send_signal(signal.SIGTERM)
        self.end_share()
        super().tearDown()
        subprocess.run(["rm", "-rf", self.source])
        os.rmdir(self.mount)
        if os.path.exists(self.mount + ".waiting"):
            os.unlink(self.mount + ".waiting")

    def end_share(self):
        if self.fs:
            self.fs.kill()
            self.fs.wait()
            self.fs = None
        subprocess.run(["fusermount3", "-u", "-z", self.mount], stderr=subprocess.DEVNULL)

    def share(self, *hanging, head=None, slow=None):
        # fusepy is Debian's, for the system's own Python.
        options = ["--head", str(head)] if head else ["--slow", str(slow)] if slow else []
        self.fs = subprocess.Popen(["/usr/bin/python3", HANGFS, *options, self.source, self.mount, *hanging])
        poll(lambda: os.path.ismount(self.mount), "the share to be mounted")

    def wait_for_the_share(self):
        poll(lambda: os.path.exists(self.mount + ".waiting"), "the player's read to wait for the share")

    def start_on_share(self):
        p = Player(self.mount)
        self.players.append(p)
        return p

    def play_and_hear(self, p, entry, tone, what):
        """Chooses the entry, presses Play at once and waits for the tone."""
        rec = Recorder()
        try:
            p.choose_entry(entry)
            p.press("play")
            poll(lambda: sounding_tail(rec.samples(), 0.5, tone), what)
        finally:
            rec.stop()

    def stop_and_hear_b_wav(self, p, rec):
        """Stop, then the second entry: it is heard, with no box, while a.wav's read still waits."""
        p.press("stop")
        p.choose_entry(1)
        p.press("play")
        poll(lambda: sounding_tail(rec.samples(), 0.5, B), "b.wav sounding")
        self.assertEqual(current_title(NAMES), "b.wav")
        self.assertEqual(p.boxes(), [])
        self.assertTrue(p.alive(), p.output())

    def test_stop_and_another_entry_work_while_a_wav_waits_for_its_share(self):
        make("tone", os.path.join(self.source, "a.wav"), int(A), 3000)
        make("tone", os.path.join(self.source, "b.wav"), int(B), 3000)
        self.share("a.wav")
        p = self.start_on_share()
        p.choose_entry(0)
        p.press("play")
        self.wait_for_the_share()
        rec = Recorder()
        try:
            self.stop_and_hear_b_wav(p, rec)
        finally:
            rec.stop()

    def test_another_entry_works_while_a_song_waits_for_its_share(self):
        with open(os.path.join(self.source, "a.mid"), "wb") as f:
            f.write(long_song(69))
        with open(os.path.join(self.source, "b.mid"), "wb") as f:
            f.write(long_song(76))
        self.share("a.mid")
        p = self.start_on_share()
        p.choose_entry(0)
        p.press("play")
        self.wait_for_the_share()
        rec = Recorder()
        try:
            key("Down")  # the list has the focus since a.mid was clicked
            p.press("play")
            poll(lambda: sounding_tail(rec.samples(), 0.5, note_hz(76)), "b.mid sounding")
        finally:
            rec.stop()
        self.assertEqual(p.boxes(), [])

    def test_play_pressed_while_an_entry_opens_from_a_slow_share_plays_it(self):
        # A share far away: each read answers, late. The user picks an entry and presses Play at
        # once, as the entry opens.
        make("tone", os.path.join(self.source, "a.wav"), int(A), 3000)
        make("tone", os.path.join(self.source, "b.wav"), int(B), 3000)
        self.share("a.wav", "b.wav", slow=60)
        p = self.start_on_share()
        self.play_and_hear(p, 1, B, "b.wav sounding")
        self.assertEqual(p.boxes(), [])

    def test_the_player_ends_on_sigterm_while_an_open_waits_and_keeps_its_settings(self):
        make("tone", os.path.join(self.source, "a.wav"), int(A), 3000)
        self.share("a.wav")
        p = self.start_on_share()
        p.menu("alt+s", "p", "p")  # 単再生
        p.choose_entry(0)
        p.press("play")
        self.wait_for_the_share()
        p.proc.send_signal(signal.SIGTERM)
        # Its windows go and its settings are written while the share is still silent.
        poll(lambda: not p.windows(), "the player's windows to close")
        poll(lambda: settings().get("Data", {}).get("Play_Mode") == " 2", "the settings to be written")
        self.end_share()
        self.assertEqual(p.wait_exit(), 0, p.output())

    def test_left_alone_the_open_gives_up_and_play_goes_on(self):
        make("tone", os.path.join(self.source, "a.wav"), int(A), 3000)
        make("tone", os.path.join(self.source, "b.wav"), int(B), 3000)
        self.share("a.wav")
        p = self.start_on_share()
        p.menu("alt+s", "e", "b")  # メッセージを出さない
        self.play_and_hear(p, 0, B, "b.wav after a.wav's open gave up")
        self.assertTrue(p.alive(), p.output())

    def start_a_wav_whose_share_goes_silent_as_it_plays(self, rec):
        # 10 s of tone, of which the share gives the first 3 s or so.
        make("tone", os.path.join(self.source, "a.wav"), int(A), 10000)
        make("tone", os.path.join(self.source, "b.wav"), int(B), 3000)
        self.share("a.wav", head=256 * 1024)
        p = self.start_on_share()
        p.choose_entry(0)
        p.press("play")
        poll(lambda: sounding_tail(rec.samples(), 0.5, A), "a.wav sounding")
        self.wait_for_the_share()
        return p

    def test_stop_and_another_entry_work_when_a_playing_wavs_share_goes_silent(self):
        rec = Recorder()
        try:
            p = self.start_a_wav_whose_share_goes_silent_as_it_plays(rec)
            self.stop_and_hear_b_wav(p, rec)
        finally:
            rec.stop()

    def test_left_alone_an_item_whose_share_goes_silent_is_passed_over(self):
        rec = Recorder()
        try:
            p = self.start_a_wav_whose_share_goes_silent_as_it_plays(rec)
            p.menu("alt+s", "e", "b")  # メッセージを出さない
            # The item waits for its data as long as an open would, then play goes on.
            poll(lambda: sounding_tail(rec.samples(), 0.5, B), "b.wav after a.wav's share went silent",
                 limit=30)
        finally:
            rec.stop()
        self.assertEqual(current_title(NAMES), "b.wav")
        self.assertTrue(p.alive(), p.output())


if __name__ == "__main__":
    main()
