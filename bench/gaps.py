"""Silences between items in a recording of a null sink (mono s16le at 44.1 kHz): prints one
line "LABEL MS ms" per transition, a transition without silence as 0.
  gaps.py RECORDING LABEL TRANSITIONS"""
import struct
import sys

data = open(sys.argv[1], "rb").read()
label = sys.argv[2]
transitions = int(sys.argv[3])
samples = struct.unpack("<%dh" % (len(data) // 2), data[: len(data) // 2 * 2])
# Half-millisecond windows: a window is silent when nothing in it is louder than -50 dBFS. The
# tones and the organ note never stay that quiet for half a millisecond while they sound.
W = 22
windows = [max(abs(x) for x in samples[i:i + W]) < 100 for i in range(0, len(samples) - W, W)]
first = windows.index(False) if False in windows else len(windows)
last = len(windows) - 1 - windows[::-1].index(False) if False in windows else 0
runs, run = [], 0
for q in windows[first:last + 1]:
    if q:
        run += 1
    else:
        if run:
            runs.append(run)
        run = 0
# A tone or a note may dip below the threshold for one window; a gap is two windows or more.
gaps = [r * W / 44.1 for r in runs if r >= 2]
gaps += [0.0] * max(0, transitions - len(gaps))
for g in gaps[:transitions]:
    print(f"{label} {g:.4f} ms")
