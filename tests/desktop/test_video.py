"""AVI items in their own window: the picture at the chosen magnification, and the three screen
modes against another program's window."""

from desk import (DesktopCase, Recorder, active_window, activate, check_sides, colours, ffmpeg,
                  geometry, main, make, note_hz, playing_streams, poll, screenshot, sounding_tail,
                  stacking, window_name, wm_state)

GREY = bytes([192, 192, 192])
A, E5 = 440.0, note_hz(76)


def picture_shown(wid):
    """The picture, not an empty rectangle: many colours, and not the picture box's grey."""
    w, h, rgb = screenshot(wid)
    grey = sum(1 for i in range(0, len(rgb), 3 * 11) if rgb[i:i + 3] == GREY)
    return colours(rgb) >= 6 and grey < len(rgb) // (3 * 11) // 2


class Video(DesktopCase):
    def setUp(self):
        super().setUp()
        # 160 × 120 colour bars with a sound track, 8 s; a short tone ahead of it.
        make("avi", self.path("clip.avi"), 160, 120, 80, 660)
        make("tone", self.path("a.wav"), 440, 1200)

    def open_clip(self, p):
        p.choose_entry(1)  # a.wav, then clip.avi
        return poll(p.video, "the video window")

    def test_the_picture_at_half_one_and_four_times(self):
        p = self.start()
        for index, (w, h) in [(1, (80, 60)), (2, (160, 120)), (8, (640, 480))]:
            p.magnification(index)
            v = self.open_clip(p)
            poll(lambda: geometry(v) and geometry(v)[2:4] == (w, h), f"a {w}×{h} picture at item {index}",
                 limit=5)
            p.press("play")
            poll(lambda: picture_shown(v), f"the picture at {w}×{h}")
            p.press("stop")
            poll(lambda: not p.video(), "the video window to close")

    def test_a_clip_after_a_clip_shows_its_own_picture_in_a_fresh_window(self):
        # The second clip is opened ahead of time while the first plays; its picture was decoded
        # before its window existed, and must still appear there at the chosen size.
        make("avi", self.path("clip2.avi"), 96, 72, 20, 880)
        p = self.start()
        p.magnification(4)  # 2×
        p.choose_entry(1)  # clip.avi; clip2.avi follows in continuous play
        first = poll(p.video, "the first clip's window")
        p.press("play")
        poll(lambda: picture_shown(first), "the first picture")
        p.press("next")
        second = poll(lambda: p.video() if p.video() not in (0, first) else 0, "the second clip's window")
        self.assertTrue(window_name(second).endswith("clip2.avi)"), window_name(second))
        poll(lambda: geometry(second) and geometry(second)[2:4] == (192, 144), "a 192×144 picture")
        poll(lambda: picture_shown(second), "the second picture")

    def test_mode_two_brings_the_picture_to_the_front_when_it_starts(self):
        p = self.start()  # screen mode 2 is the default
        v = self.open_clip(p)
        p.press("play")
        poll(lambda: active_window() == v, "the video window to be active")
        self.assertEqual(stacking()[-1], v)
        poll(lambda: picture_shown(v), "the picture")

    def test_mode_one_gives_the_front_back_to_the_program_that_had_it(self):
        p = self.start()
        p.menu("alt+s", "c", "a")  # 画面ﾓｰﾄﾞ → 裏で再生
        other = self.other()
        p.choose_entry(0)  # a.wav; the clip follows in continuous play
        p.press("play")
        activate(other.wid)  # the user goes on working in another program
        poll(lambda: active_window() == other.wid, "the other program in front")
        v = poll(p.video, "the clip's window")
        poll(lambda: active_window() == other.wid and stacking().index(other.wid) > stacking().index(v),
             "the other program in front again")
        poll(lambda: picture_shown(v), "the picture behind")

    def test_mode_three_keeps_the_picture_above_every_window(self):
        p = self.start()
        p.menu("alt+s", "c", "c")  # 画面ﾓｰﾄﾞ → 常に前へ
        v = self.open_clip(p)
        p.press("play")
        poll(lambda: "_NET_WM_STATE_ABOVE" in wm_state(v), "the picture kept above")
        poll(lambda: "_NET_WM_STATE_HIDDEN" in wm_state(p.main), "the main window minimised")
        other = self.other()
        activate(other.wid)  # the user clicks elsewhere
        poll(lambda: active_window() == other.wid, "the other program active")
        poll(lambda: stacking().index(v) > stacking().index(other.wid), "the picture above it")
        poll(lambda: picture_shown(v), "the picture still drawn after the change")



class ClipAfterClip(DesktopCase):
    """Clips one after another at their ends, of the codecs and sound tracks old collections mix."""

    def tearDown(self):
        super().tearDown()
        if getattr(self, "rec", None):
            self.rec.stop()

    def test_a_clip_goes_on_in_the_stream_of_the_clip_before_and_shows_in_its_own_window(self):
        # Cinepak with 8-bit 22 kHz mono, then MJPEG with 16-bit 44.1 kHz stereo whose sides
        # are two notes. The second is opened ahead, queued in the first one's player, and goes
        # on there at the first one's end: its picture moves into its own window from there.
        bars = "testsrc=size=%s:rate=10:duration=%s"
        tone = "sine=frequency=%d:sample_rate=%d:duration=%s"
        ffmpeg("-f", "lavfi", "-i", bars % ("160x120", 1.5), "-f", "lavfi", "-i", tone % (A, 22050, 1.5),
               "-ac", "1", "-c:a", "pcm_u8", "-c:v", "cinepak", "-shortest", self.path("a.avi"))
        ffmpeg("-f", "lavfi", "-i", bars % ("96x72", 8), "-f", "lavfi", "-i", tone % (E5, 44100, 8),
               "-f", "lavfi", "-i", tone % (A, 44100, 8), "-filter_complex", "[1][2]amerge=inputs=2",
               "-c:a", "pcm_s16le", "-c:v", "mjpeg", "-shortest", self.path("b.avi"))
        rec = self.rec = Recorder(channels=2)
        p = self.start()
        p.magnification(4)  # 2×
        p.choose_entry(0)
        first = poll(p.video, "the first clip's window")
        p.press("play")
        poll(lambda: sounding_tail(rec.samples(), 0.3, A), "a.avi sounding")
        rec.wait_seconds(0.3)  # past the stream's start (PipeWire fades it in)
        during_a = playing_streams()
        check_sides(self, rec)  # a mono clip is heard on both sides at its own level

        poll(lambda: sounding_tail(rec.samples(), 0.3, E5), "b.avi sounding")
        rec.wait_seconds(0.3)
        check_sides(self, rec, E5, A)
        # No stream of its own: one that starts waits for the turn of the server's cycle.
        self.assertEqual(playing_streams(), during_a)

        second = poll(lambda: p.video() if p.video() not in (0, first) else 0, "the second clip's window")
        self.assertTrue(window_name(second).endswith("b.avi)"), window_name(second))
        poll(lambda: geometry(second) and geometry(second)[2:4] == (192, 144), "a 192×144 picture")
        poll(lambda: picture_shown(second), "the second picture in its window")
        self.assertNotIn(first, [w for w, _ in p.windows()])  # the first one's window is gone

    def test_a_wav_after_a_clip_goes_on_in_its_stream_and_the_picture_goes(self):
        ffmpeg("-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=1.5", "-f", "lavfi", "-i",
               "sine=frequency=%d:sample_rate=22050:duration=1.5" % A, "-ac", "1", "-c:a", "adpcm_ms",
               "-c:v", "msvideo1", "-shortest", self.path("a.avi"))
        ffmpeg("-f", "lavfi", "-i", "sine=frequency=%d:sample_rate=11025:duration=4" % E5, "-ac", "1",
               "-c:a", "pcm_u8", self.path("b.wav"))
        rec = self.rec = Recorder()
        p = self.start()
        p.choose_entry(0)
        poll(p.video, "the clip's window")
        p.press("play")
        poll(lambda: sounding_tail(rec.samples(), 0.3, A), "a.avi sounding")
        rec.wait_seconds(0.3)
        during_a = playing_streams()
        poll(lambda: sounding_tail(rec.samples(), 0.3, E5), "b.wav sounding")
        self.assertEqual(playing_streams(), during_a)
        poll(lambda: not p.video(), "the clip's window to close")

if __name__ == "__main__":
    main()
