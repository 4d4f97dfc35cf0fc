"""MIDI files of old collections as their authors heard them: a two-port file keeps each port's
instruments, and the first song of a list sounds the same on every lap, whatever the last song
set."""

import math

from desk import (RATE, SOUND, DesktopCase, Recorder, main, note_hz, pitch, poll, rms, same_note,
                  silent_tail, smf, sounding_tail)

PORT = lambda n: bytes([0xFF, 0x21, 0x01, n])  # noqa: E731 (the port prefix meta event)
MASTER_VOLUME_30 = bytes([0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x26, 0xF7])  # 4864 / 16383


def db(a, b):
    return 20 * math.log10(a / b)


def level(samples, start, end):
    return rms(samples[int(start * RATE):int(end * RATE)])


def onset(samples, since=0.0):
    """The time of the first 10 ms block of sound at or after `since`."""
    step = RATE // 100
    for i in range(int(since * RATE), len(samples) - step, step):
        if rms(samples[i:i + step]) >= SOUND:
            return i / RATE
    raise AssertionError("no sound recorded")


class OldMidi(DesktopCase):
    def test_a_two_port_files_organ_on_port_a_stays_an_organ(self):
        # Port A: a church organ holds C4 for 2.5 s. Port B: a piano on its own channel 1, set up
        # between port A's program change and its note.
        port_a = [(0, PORT(0)), (0, bytes([0xC0, 19])), (2, bytes([0x90, 60, 100])),
                  (480, bytes([0x80, 60, 0]))]
        port_b = [(0, PORT(1)), (1, bytes([0xC0, 0])), (481, bytes([0xFF, 0x01, 0x01, 0x2E]))]
        with open(self.path("two-port.mid"), "wb") as f:
            f.write(smf([[(0, bytes([0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20]))], port_a, port_b]))
        p = self.start()
        p.menu("alt+s", "p", "p")  # single play
        rec = Recorder()
        try:
            p.choose_entry(0)
            p.press("play")
            poll(lambda: sounding_tail(rec.samples(), 0.05), "the organ sounding")
            poll(lambda: silent_tail(rec.samples(), 0.8), "the song's end")
            samples = rec.samples()
        finally:
            rec.stop()
        t = onset(samples)
        early, late = level(samples, t + 0.2, t + 0.7), level(samples, t + 1.8, t + 2.3)
        print(f"organ level: {early:.0f} early, {late:.0f} late ({db(late, early):+.1f} dB)")
        # An organ holds its level; a piano's note would have died away by some 20 dB.
        self.assertGreater(late, SOUND)
        self.assertLess(abs(db(late, early)), 4.0, (early, late))

    def test_the_first_song_sounds_the_same_on_the_second_lap(self):
        a_note, b_note = 64, 67
        # a.mid: a held organ note that sets nothing; b.mid turns the module down to 30 %.
        with open(self.path("a.mid"), "wb") as f:
            f.write(smf([[(0, bytes([0xC0, 16])), (0, bytes([0x90, a_note, 100])),
                          (288, bytes([0x80, a_note, 0]))]]))
        with open(self.path("b.mid"), "wb") as f:
            f.write(smf([[(0, MASTER_VOLUME_30), (0, bytes([0xC0, 16])), (0, bytes([0x90, b_note, 100])),
                          (144, bytes([0x80, b_note, 0]))]]))
        p = self.start()
        rec = Recorder()
        try:
            p.choose_entry(0)
            p.press("play")
            poll(lambda: sounding_tail(rec.samples(), 0.05), "a.mid sounding")
            rec.wait_seconds(1.5 + 0.75 + 1.5 + 0.2)  # a, b, and a again
            samples = rec.samples()
        finally:
            rec.stop()
        # 50 ms blocks; b.mid's are told by their note. a.mid's first 0.75 s on each lap: from the
        # start of the recording, and from the end of b.mid's run.
        step = RATE // 20
        levels, is_b = [], []
        for i in range(0, len(samples) - step, step):
            block = samples[i:i + step]
            levels.append(rms(block))
            is_b.append(levels[-1] >= SOUND and same_note(pitch(block[:int(0.03 * RATE)]), note_hz(b_note)))
        self.assertIn(True, is_b, "b.mid was heard")
        end_b = is_b.index(True)
        while end_b < len(is_b) and (is_b[end_b] or not is_b[end_b + 1:end_b + 3] == [False, False]):
            end_b += 1
        lap1 = [v for v in levels[:15] if v >= SOUND]
        lap2 = [v for v in levels[end_b + 1:end_b + 16] if v >= SOUND]
        self.assertEqual(len(lap1), 15, levels)
        self.assertEqual(len(lap2), 15, levels)
        first, second = sorted(lap1)[7], sorted(lap2)[7]
        print(f"a.mid: {first:.0f} on the first lap, {second:.0f} on the second ({db(second, first):+.1f} dB)")
        self.assertLess(abs(db(second, first)), 1.5, (first, second))


if __name__ == "__main__":
    main()
