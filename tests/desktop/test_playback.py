"""Continuous and single play, pause and resume, heard on the null sink."""

import json
import os
import subprocess

from desk import (DesktopCase, Recorder, check_sides, ffmpeg, make, main, note_hz, playing_streams,
                  poll, silent_tail, sounding_tail, tones)

A, B, C = 440.0, note_hz(76), note_hz(74)  # a.wav (A4), b.mid (E5, an organ note), c.wav (D5)


class Playback(DesktopCase):
    def setUp(self):
        super().setUp()
        make("tone", self.path("a.wav"), A, 1500)
        make("note", self.path("b.mid"), 76, 1500)
        make("tone", self.path("c.wav"), C, 1500)
        self.rec = Recorder()

    def tearDown(self):
        super().tearDown()  # a failure's report reads the recording
        self.rec.stop()

    def test_a_folder_plays_in_list_order_and_wraps(self):
        p = self.start()
        p.choose_entry(0)
        p.press("play")
        poll(lambda: sounding_tail(self.rec.samples(), 0.1, A), "the first sound")
        start = self.rec.seconds() - 0.3
        self.rec.wait_seconds(6.2)  # three items and the start of the fourth
        heard = tones(self.rec.samples(since=max(0, start)), [A, B, C])
        self.assertEqual([t for t in heard if t is not None][:4], [0, 1, 2, 0], heard)
        self.assertNotIn("?", heard)

    def test_a_wav_at_another_rate_leaves_at_the_servers_own(self):
        # 8-bit mono at 11 kHz, as old collections hold them: converted by the player, so that
        # the server does not convert its start late.
        subprocess.run(["ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                        "sine=frequency=%d:sample_rate=11025:duration=3" % C, "-ac", "1",
                        "-c:a", "pcm_u8", self.path("d.wav")], check=True)

        def pa(what):
            out = subprocess.run(["pactl", "-f", "json", "list", what], check=True,
                                 capture_output=True, text=True).stdout
            return json.loads(out)

        def rate(sample_format):  # "u8 1ch 11025Hz"
            return int(sample_format.split()[-1].rstrip("Hz"))

        p = self.start()
        p.choose_entry(3)
        p.press("play")
        poll(lambda: sounding_tail(self.rec.samples(), 0.3, C), "d.wav sounding")
        default = subprocess.run(["pactl", "get-default-sink"], check=True, capture_output=True,
                                 text=True).stdout.strip()
        sink = [s for s in pa("sinks") if s["name"] == default][0]
        # d.wav, and a.wav opened ahead (the song's synthesiser has a stream of its own)
        inputs = [i for i in pa("sink-inputs") if i["sink"] == sink["index"]
                  and ".wav" in i["properties"].get("media.name", "")]
        self.assertTrue(inputs)
        self.assertEqual({rate(i["sample_specification"]) for i in inputs},
                         {rate(sink["sample_specification"])}, inputs)

    def test_its_sound_goes_to_the_server_through_the_socket(self):
        # The sound server (PulseAudio 16) aborts now and then when a client whose sound it took
        # from shared memory goes away: the player, which closes a stream at every item, sends
        # its sound through the socket instead.
        def shared_with_server(pid):
            with open(f"/proc/{pid}/maps") as f:
                return sorted({" ".join(line.split()[5:]) for line in f
                               if "pulse-shm" in line or "memfd:pulseaudio" in line})

        p = self.start()
        p.choose_entry(0)
        p.press("play")
        for tone, what in [(A, "a.wav"), (B, "b.mid"), (C, "c.wav")]:
            poll(lambda: sounding_tail(self.rec.samples(), 0.3, tone), f"{what} sounding")
            self.assertEqual(shared_with_server(p.proc.pid), [], what)

    def test_single_play_stops_after_one_item(self):
        p = self.start()
        p.menu("alt+s", "p", "p")  # 設定 → 再生ﾓｰﾄﾞ → 単再生
        p.choose_entry(0)
        p.press("play")
        poll(lambda: sounding_tail(self.rec.samples(), 0.1, A), "the first sound")
        start = self.rec.seconds() - 0.3
        poll(lambda: silent_tail(self.rec.samples(), 2.0), "silence after the item")
        heard = [t for t in tones(self.rec.samples(since=max(0, start)), [A, B, C]) if t is not None]
        self.assertEqual(heard, [0])
        self.rec.wait_seconds(1.5)
        self.assertTrue(silent_tail(self.rec.samples(), 1.5), "nothing else started")

    def test_pause_silences_and_resume_goes_on(self):
        make("tone", self.path("a.wav"), A, 8000)
        p = self.start()
        p.choose_entry(0)
        p.press("play")
        poll(lambda: sounding_tail(self.rec.samples(), 0.3, A), "the item sounding")
        # Heard long enough to count as a tone of its own before the pause (a stream's first
        # blocks through PipeWire can read as no note).
        self.rec.wait_seconds(0.5)
        p.press("pause")
        poll(lambda: silent_tail(self.rec.samples(), 0.5), "silence after pause")
        self.rec.wait_seconds(1.0)
        self.assertTrue(silent_tail(self.rec.samples(), 1.0), "still silent while paused")
        p.press("pause")  # the pause button again resumes
        poll(lambda: sounding_tail(self.rec.samples(), 0.3, A), "sound after resume")
        self.rec.wait_seconds(0.5)
        heard = tones(self.rec.samples(), [A, B, C])
        self.assertEqual([t for t in heard if t is not None], [0, 0], heard)

    def test_stop_silences_a_sounding_item_and_nothing_follows(self):
        make("tone", self.path("a.wav"), A, 8000)
        p = self.start()
        p.choose_entry(0)
        p.press("play")
        poll(lambda: sounding_tail(self.rec.samples(), 0.3, A), "the item sounding")
        p.press("stop")
        poll(lambda: silent_tail(self.rec.samples(), 0.5), "silence after stop")
        self.rec.wait_seconds(1.5)
        self.assertTrue(silent_tail(self.rec.samples(), 1.5), "still silent after stop")
        self.assertTrue(p.alive(), p.output())


class WavAfterWav(DesktopCase):
    """WAVs one after another, mono and stereo, as old collections mix them."""

    def tearDown(self):
        super().tearDown()
        if getattr(self, "rec", None):
            self.rec.stop()

    def test_a_mono_and_a_stereo_wav_keep_their_sides_and_share_a_stream(self):
        self.mono_then_stereo()

    def test_on_a_busy_machine_the_stereo_wav_still_goes_on_in_the_mono_ones_stream(self):
        # Two programs take both processors from the player, at a higher priority, as the one
        # item goes on to the other: the player gets no time for a quarter of a second or so at
        # a stretch, and the sound queued ahead of the stream runs out meanwhile. The stream was
        # set up afresh for the second item then.
        self.mono_then_stereo(busy=True)

    def mono_then_stereo(self, busy=False):
        tone = "sine=frequency=%d:sample_rate=22050:duration=1.5"
        ffmpeg("-f", "lavfi", "-i", tone % A, "-ac", "1", "-c:a", "pcm_s16le", self.path("a.wav"))
        # the sides of different notes (E5 and A4)
        ffmpeg("-f", "lavfi", "-i", tone % note_hz(76), "-f", "lavfi", "-i", tone % A,
               "-filter_complex", "[0][1]amerge=inputs=2", "-c:a", "pcm_s16le", self.path("b.wav"))
        rec = self.rec = Recorder(channels=2)
        p = self.start()
        p.choose_entry(0)
        p.press("play")
        poll(lambda: sounding_tail(rec.samples(), 0.3, A), "a.wav sounding")
        rec.wait_seconds(0.3)  # past the stream's start (PipeWire fades it in)
        during_a = playing_streams()
        check_sides(self, rec)  # a mono item is heard on both sides at its own level
        load = []
        if busy:
            # A raised priority needs the right to it (the test sessions run as root); without
            # it the programs still share the processors with the player.
            nice = ["nice", "-n", "-10"] if os.geteuid() == 0 else []
            load = [subprocess.Popen([*nice, "sh", "-c", "while :; do :; done"]) for _ in range(2)]
        try:
            poll(lambda: sounding_tail(rec.samples(), 0.3, note_hz(76)), "b.wav sounding")
        finally:
            for busy_program in load:
                busy_program.kill()
                busy_program.wait()
        rec.wait_seconds(0.3)
        # A stereo item after it keeps its two sides apart, each at its own level ...
        check_sides(self, rec, note_hz(76), A)
        # ... and went on in the stream the mono one had: no stream of its own started (one
        # that starts waits for the turn of the server's cycle, a gap of up to a cycle).
        self.assertEqual(playing_streams(), during_a)


if __name__ == "__main__":
    main()
