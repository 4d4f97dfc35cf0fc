"""How the benchmarks read a recording of a null sink, or a file's sound made the same way (mono
s16le at 44.1 kHz): in half-millisecond windows, a window silent when nothing in it is louder
than -50 dBFS. The tones and the organ note never stay that quiet for half a millisecond while
they sound."""
import struct

W = 22  # samples in a window
MS = W / 44.1  # milliseconds in a window


def samples(path):
    data = open(path, "rb").read()
    return struct.unpack("<%dh" % (len(data) // 2), data[: len(data) // 2 * 2])


def quiet_windows(s):
    """For each window, whether it is silent."""
    return [max(abs(x) for x in s[i:i + W]) < 100 for i in range(0, len(s) - W, W)]
