"""GS and XG files sound as their authors wrote them: a GS file that makes channel 2 a rhythm
part sounds like the same notes sent to channel 10, not like a piano."""

from desk import DesktopCase, Recorder, main, poll, silent_tail, smf, sounding_tail

GS_RESET = bytes([0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7])
RHYTHM_ON_CHANNEL_2 = bytes([0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x12, 0x15, 0x01, 0x18, 0xF7])


def pattern(channel, setup=b""):
    """Kick, snare and closed hi-hat, eighth notes for two seconds."""
    events = [(0, setup)] if setup else []
    for i in range(8):
        note = (36, 42, 38, 42)[i % 4]
        events.append((0 if i == 0 else 24, bytes([0x90 | channel, note, 110])))
        events.append((24, bytes([0x80 | channel, note, 0])))
    return smf([events])


def zero_crossing_rate(samples):
    loud = [v for v in samples if abs(v) > 200]
    if len(loud) < 2:
        return 0.0
    return sum(1 for a, b in zip(loud, loud[1:]) if (a < 0) != (b < 0)) / len(loud)


class Midi(DesktopCase):
    def heard(self, p, index):
        rec = Recorder()
        try:
            p.choose_entry(index)
            p.press("play")
            poll(lambda: sounding_tail(rec.samples(), 0.05), "the pattern sounding")
            poll(lambda: silent_tail(rec.samples(), 0.8), "the pattern's end")
            return rec.samples()
        finally:
            rec.stop()

    def test_a_gs_rhythm_part_on_channel_two_sounds_like_channel_ten(self):
        with open(self.path("a-gs.mid"), "wb") as f:
            f.write(pattern(1, GS_RESET + b"\x00" + RHYTHM_ON_CHANNEL_2))
        with open(self.path("b-ch10.mid"), "wb") as f:
            f.write(pattern(9))
        with open(self.path("c-piano.mid"), "wb") as f:
            f.write(pattern(1, GS_RESET))
        p = self.start()
        p.menu("alt+s", "p", "p")  # single play: one pattern at a time
        gs, ch10, piano = (zero_crossing_rate(self.heard(p, i)) for i in range(3))
        print(f"zero-crossing rates: GS channel 2 {gs:.3f}, channel 10 {ch10:.3f}, piano {piano:.3f}")
        self.assertGreater(ch10, 2 * piano, (gs, ch10, piano))  # drums are noise, a piano's low notes are not
        # Channel 2 sounds like the drums, far nearer to them than to the piano it was before.
        self.assertLess(abs(gs - ch10), abs(gs - piano) / 2, (gs, ch10, piano))


if __name__ == "__main__":
    main()
