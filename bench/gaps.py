"""Silences between items in a recording of a null sink (mono s16le at 44.1 kHz): prints one
line "LABEL MS ms" per transition, a transition without silence as 0.
  gaps.py RECORDING LABEL TRANSITIONS [ITEM_MS KIND KIND ...]
With the items' length and the kinds of the items in play order (repeating), each silence is
put to its transition by time and the lines are labelled by pair: "LABEL-mid-wav MS ms"."""
import sys

from quiet import MS, quiet_windows, samples

label = sys.argv[2]
transitions = int(sys.argv[3])
windows = quiet_windows(samples(sys.argv[1]))
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
if len(sys.argv) > 5:
    item_ms, kinds = float(sys.argv[4]), sys.argv[5:]
    at, pos, silences = [0.0] * transitions, first, []
    run = 0
    for k, q in enumerate(windows[first:last + 1]):
        if q:
            run += 1
        else:
            if run >= 2:
                silences.append(((k - run) * MS, run * MS))
            run = 0
    shift = 0.0  # the gaps so far move every later boundary
    for start, length in silences:
        t = round((start - shift) / item_ms) - 1
        if 0 <= t < transitions:
            at[t] += length
        shift += length
    for t, g in enumerate(at):
        print(f"{label}-{kinds[t % len(kinds)]}-{kinds[(t + 1) % len(kinds)]} {g:.4f} ms")
    sys.exit(0)
gaps = [r * MS for r in runs if r >= 2]
gaps += [0.0] * max(0, transitions - len(gaps))
for g in gaps[:transitions]:
    print(f"{label} {g:.4f} ms")
