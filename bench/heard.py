"""How much of each item is heard, in a recording of a null sink (mono s16le at 44.1 kHz): the
length of each stretch of sound between silences, one line "LABEL-KIND MS ms" per item heard
on its own (items that run into one another without a silence are counted, not measured).
  heard.py RECORDING LABEL ITEM_MS KIND KIND ...
Items cut short at either end show here, where the silences between them (bench/gaps.py) do
not: a player that loses the last 10 ms of an item and starts the next 10 ms sooner leaves the
same gap as one that plays it whole."""
import sys

from quiet import MS, quiet_windows, samples

label, item_ms, kinds = sys.argv[2], float(sys.argv[3]), sys.argv[4:]
# A silence is two windows or more, as bench/gaps.py reads them.
quiet = quiet_windows(samples(sys.argv[1]))
runs, start, still = [], None, 0
for k, q in enumerate(quiet):
    if not q:
        if start is None:
            start = k
        still = 0
    elif start is not None:
        still += 1
        if still >= 2:
            runs.append((k - still + 1 - start) * MS)
            start, still = None, 0
# Only a stretch within 5 % of an item's length is one item: a much shorter one was cut off by
# the end of the run, a longer one holds more than one item, or one with something else.
item = 0
for ms in runs:
    n = max(1, round(ms / item_ms))
    if abs(ms - item_ms) <= 0.05 * item_ms:
        print(f"{label}-{kinds[item % len(kinds)]} {ms:.4f} ms")
    item += n
