"""The player on a real desktop, as a user meets it: started as a program, driven by mouse and
keys through the window manager, watched through what the window manager reports, screenshots
and what the null sink plays.

Runs inside tools/desktop-session.sh (DISPLAY, HOME, PULSE_SERVER and ZYPO_DESKTOP_SINK set).
ZYPO_BUILD names the build folder. Every wait polls for a condition with a generous limit; no
check depends on how long something took.
"""

import array
import configparser
import json
import math
import os
import re
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

BUILD = os.environ.get("ZYPO_BUILD", os.path.join(os.path.dirname(__file__), "..", "..", "build"))
ZYPO = os.path.join(BUILD, "zypo")
MAKEDEMO = os.path.join(BUILD, "tools", "makedemo")
LIMIT = 20.0  # seconds: how long any wait may poll before the test fails
RATE = 16000  # recordings: mono 16-bit at this rate

TWIPS_PER_PX = 15  # the session runs at 96 DPI


def need_desktop():
    """The suite fails loudly without its desktop; it never skips."""
    for var in ("DISPLAY", "PULSE_SERVER", "ZYPO_DESKTOP_SINK"):
        if not os.environ.get(var):
            raise SystemExit(f"desktop suite: {var} is not set; run it through tools/desktop-session.sh")
    if not os.access(ZYPO, os.X_OK):
        raise SystemExit(f"desktop suite: no player at {ZYPO}")


def run(*cmd, check=True, env=None):
    r = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
    if check and r.returncode != 0:
        raise RuntimeError(f"{' '.join(cmd)} failed ({r.returncode}): {r.stderr.strip()}")
    return r.stdout


def poll(condition, what, limit=LIMIT, every=0.1):
    """Polls until condition() gives a true value, and returns it; fails the test at the limit."""
    end = time.monotonic() + limit
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError(f"gave up waiting for {what} after {limit:.0f} s")
        time.sleep(every)


# ---- media ---------------------------------------------------------------------------------

def make(kind, path, *args):
    """A test item made by our own tool: tone HZ MS, note NOTE MS, avi W H FRAMES HZ."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    run(MAKEDEMO, kind, *[str(a) for a in args], path, env=env)
    return path


def smf(tracks, fmt=None, division=96):
    """A Standard MIDI File: each track a list of (delta ticks, bytes) events; End of Track is
    added. Format 0 for one track, 1 for more, unless given."""
    def var(n):
        out = bytes([n & 0x7F])
        while n > 0x7F:
            n >>= 7
            out = bytes([0x80 | (n & 0x7F)]) + out
        return out
    chunks = b""
    for events in tracks:
        track = b"".join(var(delta) + data for delta, data in events) + b"\x00\xFF\x2F\x00"
        chunks += b"MTrk" + struct.pack(">I", len(track)) + track
    if fmt is None:
        fmt = 0 if len(tracks) == 1 else 1
    return b"MThd" + struct.pack(">IHHH", 6, fmt, len(tracks), division) + chunks


def note_hz(note):
    return 440.0 * 2 ** ((note - 69) / 12)


def drive_path(host):
    """The player's name for a host path on drive C: (the root folder)."""
    return "C:" + host.replace("/", "\\")


# ---- the window system -----------------------------------------------------------------------

def window_name(wid):
    return run("xdotool", "getwindowname", str(wid), check=False).strip()


def geometry(wid):
    """Client area of a window: (x, y, width, height) on the screen, and whether it is viewable."""
    out = run("xwininfo", "-id", str(wid), check=False)
    vals = {}
    for line in out.splitlines():
        line = line.strip()
        for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height", "Map State"):
            if line.startswith(key + ":"):
                vals[key] = line.split(":", 1)[1].strip()
    if "Width" not in vals:
        return None
    return (int(vals["Absolute upper-left X"]), int(vals["Absolute upper-left Y"]),
            int(vals["Width"]), int(vals["Height"]), vals.get("Map State") == "IsViewable")


def active_window():
    out = run("xdotool", "getactivewindow", check=False).strip()
    return int(out) if out.isdigit() else 0


def stacking():
    """Client windows bottom to top, as the window manager stacks them."""
    out = run("xprop", "-root", "_NET_CLIENT_LIST_STACKING", check=False)
    if "#" not in out:
        return []
    return [int(w.strip(), 16) for w in out.split("#", 1)[1].split(",") if w.strip()]


def wm_state(wid):
    return run("xprop", "-id", str(wid), "_NET_WM_STATE", check=False)


def transient_for(wid):
    out = run("xprop", "-id", str(wid), "WM_TRANSIENT_FOR", check=False)
    if "window id #" not in out:
        return 0
    return int(out.split("#", 1)[1].strip(), 16)


def window_type(wid):
    return run("xprop", "-id", str(wid), "_NET_WM_WINDOW_TYPE", check=False)


def key(*keys, window=None):
    cmd = ["xdotool", "key", "--clearmodifiers", "--delay", "80"]
    if window:
        cmd += ["--window", str(window)]
    run(*cmd, *keys)


def click_at(x, y):
    run("xdotool", "mousemove", "--sync", str(x), str(y))
    run("xdotool", "click", "1")


def activate(wid):
    run("xdotool", "windowactivate", "--sync", str(wid), check=False)


def screenshot(wid):
    """The client area's pixels as (width, height, bytes of RGB)."""
    g = geometry(wid)
    with tempfile.NamedTemporaryFile(suffix=".rgb") as f:
        run("import", "-window", "root", "-crop", f"{g[2]}x{g[3]}+{g[0]}+{g[1]}", "-depth", "8",
            f"rgb:{f.name}")
        with open(f.name, "rb") as written:
            data = written.read()
    return g[2], g[3], data


def save_screenshot(wid, path):
    g = geometry(wid)
    run("import", "-window", "root", "-crop", f"{g[2]}x{g[3]}+{g[0]}+{g[1]}", path)


def colours(rgb, step=7):
    """How many different colours the picture has (sampled)."""
    seen = set()
    for i in range(0, len(rgb) - 2, 3 * step):
        seen.add(rgb[i:i + 3])
    return len(seen)


class Other:
    """Another program's window (xmessage), to stand in front of or behind the player."""

    def __init__(self, text="another program"):
        self.proc = subprocess.Popen(["xmessage", "-geometry", "+20+20", text],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.wid = poll(lambda: self._find(), "the other program's window")

    def _find(self):
        # xmessage does not name its process on its window; it is the only one of its class.
        out = run("xdotool", "search", "--class", "Xmessage", check=False).split()
        for w in out:
            g = geometry(int(w))
            if g and g[4]:
                return int(w)
        return 0

    def close(self):
        self.proc.kill()
        self.proc.wait()


def current_title(names=("a.mid", "b.mid")):
    """Which of names the player gives the desktop as its current item (MPRIS metadata)."""
    out = run("dbus-send", "--session", "--print-reply", "--dest=org.mpris.MediaPlayer2.zypo",
              "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties.Get",
              "string:org.mpris.MediaPlayer2.Player", "string:Metadata", check=False)
    for name in names:
        if name in out:
            return name
    return ""


# ---- sound -------------------------------------------------------------------------------------

class Recorder:
    """What the null sink plays, recorded from its monitor at low latency."""

    def __init__(self, channels=1):
        self.channels = channels
        self.file = tempfile.NamedTemporaryFile(suffix=".raw", delete=False)
        sink = os.environ["ZYPO_DESKTOP_SINK"]
        self.proc = subprocess.Popen(
            ["parec", "--latency-msec=20", f"--device={sink}.monitor", "--format=s16le",
             f"--rate={RATE}", f"--channels={channels}", "--raw"],
            stdout=self.file, stderr=subprocess.DEVNULL)

    def seconds(self):
        self.file.flush()
        return os.path.getsize(self.file.name) / 2 / self.channels / RATE

    def samples(self, since=0.0):
        """Mono: the samples; stereo: the left side (see sides)."""
        return self.sides(since)[0]

    def sides(self, since=0.0):
        """The recording from `since` seconds, one array per channel."""
        self.file.flush()
        a = array.array("h")
        frame = 2 * self.channels
        with open(self.file.name, "rb") as f:
            f.seek(int(since * RATE) * frame)
            data = f.read()
        a.frombytes(data[: len(data) // frame * frame])
        return [a[c::self.channels] for c in range(self.channels)]

    def wait_seconds(self, n):
        """Waits until n more seconds of sound have been recorded."""
        target = self.seconds() + n
        poll(lambda: self.seconds() >= target, f"{n} s of recording", limit=n + LIMIT)

    def stop(self):
        self.proc.terminate()
        self.proc.wait()
        os.unlink(self.file.name)


def playing_streams():
    """The streams the sound server is playing (an item opened ahead waits in one corked)."""
    out = subprocess.run(["pactl", "-f", "json", "list", "sink-inputs"], check=True,
                         capture_output=True, text=True).stdout
    return {i["index"] for i in json.loads(out) if not i["corked"]}


def ffmpeg(*args):
    subprocess.run(["ffmpeg", "-v", "error", *args], check=True)


SINE_LEVEL = 32768 / 8 / math.sqrt(2)  # the RMS of ffmpeg's sine: amplitude 1/8 of full scale


def check_sides(case, rec, left_hz=None, right_hz=None, level=SINE_LEVEL):
    """The last 0.3 s of a stereo recording: a mono item (no notes given) heard on both sides
    alike, or a stereo one with its sides apart, each its own note; each side at its level."""
    left, right = [side[-int(0.3 * RATE):] for side in rec.sides()]
    if left_hz is None:
        case.assertEqual(list(left), list(right))
    else:
        case.assertTrue(same_note(pitch(left[-480:]), left_hz), pitch(left[-480:]))
        case.assertTrue(same_note(pitch(right[-480:]), right_hz), pitch(right[-480:]))
    case.assertAlmostEqual(rms(left), level, delta=level * 0.05)
    case.assertAlmostEqual(rms(right), level, delta=level * 0.05)


def rms(block):
    if not block:
        return 0.0
    return math.sqrt(sum(v * v for v in block) / len(block))


SOUND = 300.0  # RMS above this is sound; the null sink's silence is exact zeros


def pitch(block):
    """Dominant frequency by normalised autocorrelation (the first peak near the highest), Hz."""
    n = len(block)
    mean = sum(block) / n
    x = [v - mean for v in block]
    energy = sum(v * v for v in x)
    if energy <= 0:
        return 0.0
    lo, hi = RATE // 1300, RATE // 90
    r = [0.0] * (hi + 2)
    for lag in range(lo - 1, hi + 2):
        r[lag] = sum(x[i] * x[i + lag] for i in range(n - lag)) / energy
    best = max(r[lo:hi + 1])
    for lag in range(lo, hi + 1):
        if r[lag] >= 0.85 * best and r[lag] >= r[lag - 1] and r[lag] >= r[lag + 1]:
            a, b, c = r[lag - 1], r[lag], r[lag + 1]
            d = a - 2 * b + c
            shift = 0.5 * (a - c) / d if d != 0 else 0.0
            return RATE / (lag + shift)
    return 0.0


def same_note(f, e, tolerance=0.04):
    """Whether f is the note e in some octave: a synthesiser's organ may sound an octave or two
    below the written note (its sub-octave stops), so notes are told apart by pitch class."""
    if f <= 0:
        return False
    octaves = math.log2(f / e)
    return abs(octaves - round(octaves)) < math.log2(1 + tolerance)


def tones(samples, expected, hop=0.1, window=0.03):
    """The sequence of tones heard, as indexes into `expected` (None: silence), each run of at
    least two hops; a stretch whose pitch class matches none of them is '?'. The expected
    tones must be of different pitch classes."""
    labels = []
    step = int(hop * RATE)
    size = int(window * RATE)
    for start in range(0, len(samples) - size, step):
        block = samples[start:start + size]
        if rms(block) < SOUND:
            labels.append(None)
            continue
        f = pitch(block)
        label = "?"
        for i, e in enumerate(expected):
            if same_note(f, e):
                label = i
        labels.append(label)
    runs = []
    for lab in labels:
        if runs and runs[-1][0] == lab:
            runs[-1][1] += 1
        else:
            runs.append([lab, 1])
    seq = []
    for lab, count in runs:
        if count >= 2 and (not seq or seq[-1] != lab):
            seq.append(lab)
    return seq


def tones_heard(samples, hop=0.25, window=0.03):
    """The notes heard, by name, hop by hop ('-' silence): for failure reports."""
    names = ["C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"]
    step, size = int(hop * RATE), int(window * RATE)
    heard = []
    for start in range(0, len(samples) - size, step):
        block = samples[start:start + size]
        f = pitch(block) if rms(block) >= SOUND else 0.0
        heard.append(names[round(12 * math.log2(f / 440.0) + 9) % 12] if f > 0 else "-")
    return " ".join(heard)


def heard_in_order(samples, expected):
    """The expected tones (indexes) in the order they were heard, leaving out stretches of no
    note or another one (a tracker may lose a note for a moment where it dips)."""
    heard = []
    for t in tones(samples, expected):
        if t in range(len(expected)) and (not heard or heard[-1] != t):
            heard.append(t)
    return heard


def silent_tail(samples, seconds):
    tail = samples[-int(seconds * RATE):]
    return len(tail) >= int(seconds * RATE) * 0.9 and rms(tail) < SOUND / 3


def sounding_tail(samples, seconds, freq=None):
    """The last `seconds` of the recording are sound (of the note `freq`, when given)."""
    n = int(seconds * RATE)
    tail = samples[-n:]
    if len(tail) < n or rms(tail) < SOUND:
        return False
    return freq is None or same_note(pitch(tail[-int(0.03 * RATE):]), freq)


# ---- the player ----------------------------------------------------------------------------

MAIN_CLIENT = (8235, 5430)  # twips

# Controls of the main window (twips, in the client area below the menu bar).
MAIN_CONTROLS = {
    "main0Drive": (120, 0, 2295, 315),
    "MMC": (2520, 0, 1980, 360),
    "C1": (7200, 0, 855, 375),
    "main0Dir": (720, 480, 2175, 3690),
    "main0Flist": (3000, 480, 5175, 4590),
    "main0List2": (3000, 480, 5175, 4545),
    "main0Combo": (720, 4440, 2175, 315),
}
TRANSPORT = ["prev", "next", "play", "pause", "stop"]


class Player:
    """The real executable, started in a folder of its own."""

    def __init__(self, cwd, args=(), env=None):
        self.cwd = cwd
        e = dict(os.environ)
        e.update(env or {})
        self.log = open(os.path.join(tempfile.gettempdir(), f"zypo-{os.getpid()}-{time.time_ns()}.log"), "w")
        self.mpv_logs = tempfile.mkdtemp(prefix="zypo-mpv-")  # mpv's own, one per player it starts
        e.setdefault("ZYPO_MPV_LOG", self.mpv_logs)
        self.proc = subprocess.Popen([ZYPO, *args], cwd=cwd, env=e, stdout=self.log, stderr=self.log)
        self.main = poll(self._find_main, "the main window")
        g = geometry(self.main)
        self.menubar = g[3] - round(MAIN_CLIENT[1] / TWIPS_PER_PX)
        poll(lambda: active_window() == self.main or activate(self.main), "the main window to be active")

    def windows(self):
        """Our viewable windows: (id, name)."""
        out = run("xdotool", "search", "--pid", str(self.proc.pid), check=False).split()
        found = []
        for w in out:
            g = geometry(int(w))
            if g and g[4]:
                found.append((int(w), window_name(int(w))))
        return found

    def _find_main(self):
        for w, name in self.windows():
            if name == "ジポプレーヤー" and "DIALOG" not in window_type(w):
                return w
        return 0

    def video(self):
        for w, name in self.windows():
            if name.startswith("ジポプレーヤー(") and name.endswith(")") and name != "ジポプレーヤー(設定)":
                return w
        return 0

    def boxes(self):
        """Message boxes and other dialogs of ours that are shown."""
        return [w for w, _ in self.windows() if w != self.main and "DIALOG" in window_type(w)]

    def point(self, control, dx=None, dy=None):
        """Screen point inside a main-window control (its centre by default)."""
        left, top, width, height = MAIN_CONTROLS[control]
        g = geometry(self.main)
        x = g[0] + round(left / TWIPS_PER_PX) + (round(width / TWIPS_PER_PX) // 2 if dx is None else dx)
        y = g[1] + self.menubar + round(top / TWIPS_PER_PX) + (round(height / TWIPS_PER_PX) // 2 if dy is None else dy)
        return x, y

    def click(self, control, dx=None, dy=None):
        click_at(*self.point(control, dx, dy))

    def press(self, button):
        left, top, width, height = MAIN_CONTROLS["MMC"]
        w = round(width / TWIPS_PER_PX) / 5
        self.click("MMC", dx=int(w * TRANSPORT.index(button) + w / 2))

    def choose_entry(self, index):
        """Clicks the first entry of the file list, then arrow keys down to the index."""
        self.click("main0Flist", dx=20, dy=6)
        for _ in range(index):
            key("Down")

    def menu(self, *keys):
        activate(self.main)
        poll(lambda: active_window() == self.main, "the main window to be active")
        key(*keys)

    def magnification(self, index):
        """Chooses the magnification item 1..8 (0.5 to 4) from the menu bar."""
        self.menu("alt+b", *(["Down"] * (index - 1)), "Return")

    def alive(self):
        return self.proc.poll() is None

    def wait_exit(self):
        poll(lambda: not self.alive(), "the player to end")
        return self.proc.returncode

    def terminate(self):
        if self.alive():
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=LIMIT)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.log.close()

    def output(self):
        self.log.flush()
        with open(self.log.name, encoding="utf-8", errors="replace") as f:
            return f.read()

    # What an mpv player was told and did, from anywhere in its log: the files it was given, its
    # gapless setting, the ends of files and of its output's sound, and how each sound started.
    MPV_COURSE = re.compile(r"loadfile|playlist-remove|gapless-audio|Set property: pause|Playing:|"
                            r"EOF code|still playing|audio ready|starting AO|underrun|AO: \[|"
                            r"Exiting")

    def mpv_output(self, lines=25, course=60):
        """Each mpv log the player wrote, oldest player first: its course, then its last lines."""
        logs = sorted((os.path.join(self.mpv_logs, n) for n in os.listdir(self.mpv_logs)),
                      key=os.path.getmtime) if os.path.isdir(self.mpv_logs) else []
        out = {}
        for name in logs:
            with open(name, encoding="utf-8", errors="replace") as f:
                text = f.read().splitlines()
            steps = [line for line in text[:-lines] if self.MPV_COURSE.search(line)][-course:]
            out[os.path.basename(name)] = steps + ["    ..."] + text[-lines:] if steps else text[-lines:]
        return out


def settings():
    """The player's settings file as sections of keys (values unquoted)."""
    path = os.path.join(os.environ["HOME"], ".config", "ZYPO3", "ZYPO3.ini")
    c = configparser.ConfigParser(interpolation=None)
    c.optionxform = str
    c.read(path, encoding="utf-8")
    return {s: {k: v.strip('"') for k, v in c[s].items()} for s in c.sections()}


def clear_settings():
    path = os.path.join(os.environ["HOME"], ".config", "ZYPO3", "ZYPO3.ini")
    if os.path.exists(path):
        os.unlink(path)


class DesktopCase(unittest.TestCase):
    """A folder of test media and the players started on it, ended after each test."""

    def setUp(self):
        need_desktop()
        clear_settings()
        self.dir = tempfile.mkdtemp(prefix="zypo-desk-")
        self.players = []
        self.others = []

    def tearDown(self):
        if self._failed():
            self._report()
        for p in self.players:
            p.terminate()
        end_restarted_sound_servers()
        for o in self.others:
            o.close()
        subprocess.run(["rm", "-rf", self.dir, *[p.mpv_logs for p in self.players]])

    def _failed(self):
        result = getattr(getattr(self, "_outcome", None), "result", None)
        return result is not None and any(
            test is self for test, _ in result.failures + result.errors)

    def _report(self):
        """What a failure in a session that is gone afterwards needs to be understood: the
        players' own output, the streams the server had and what the sink had played."""
        out = sys.stderr
        for p in self.players:
            state = "running" if p.alive() else f"ended ({p.proc.returncode})"
            tail = p.output().splitlines()[-40:]
            out.write(f"--- player {p.proc.pid}, {state}; its last output:\n")
            out.write("".join(f"    {line}\n" for line in tail) or "    (none)\n")
            for name, lines in p.mpv_output().items():
                out.write(f"--- {name}:\n" + "".join(f"    {line}\n" for line in lines))
        streams = subprocess.run(["pactl", "list", "sink-inputs"], capture_output=True, text=True,
                                 env=dict(os.environ, LC_ALL="C")).stdout
        streams = "".join(line + "\n" for line in streams.splitlines() if any(
            key in line for key in ("Sink Input #", "Corked", "Sample Spec", "media.name",
                                    "application.process.id", "Volume: front")))
        out.write("--- the server's streams:\n" + (streams or "    (none)\n"))
        rec = getattr(self, "rec", None)
        if isinstance(rec, Recorder) and os.path.exists(rec.file.name):
            samples = rec.samples()
            last = samples[-5 * RATE:]
            out.write(f"--- recorded {rec.seconds():.1f} s; the last {len(last) / RATE:.1f} s at "
                      f"RMS {rms(last):.0f}, heard (pitch classes): {tones_heard(last)}\n")

    def path(self, name):
        return os.path.join(self.dir, name)

    def start(self, args=(), env=None):
        p = Player(self.dir, args, env)
        self.players.append(p)
        return p

    def other(self):
        o = Other()
        self.others.append(o)
        return o


def start_with_a_song_sounding(case, a_ms=3000):
    """a.mid (A4, three seconds unless given) and b.mid (E5, three seconds) in the case's folder;
    the player started on it and a.mid played until it is heard. Returns the player and the
    recorder."""
    make("note", case.path("a.mid"), 69, a_ms)
    make("note", case.path("b.mid"), 76, 3000)
    p = case.start()
    rec = Recorder()
    p.choose_entry(0)
    p.press("play")
    poll(lambda: sounding_tail(rec.samples(), 0.3, note_hz(69) / 4), "a.mid sounding")
    return p, rec


_restarted_servers = []


def kill_sound_server():
    """Ends the session's PulseAudio (or the one started again) at once, as a crash would."""
    alive = [s for s in _restarted_servers if s.poll() is None]
    if alive:
        alive[-1].kill()
        alive[-1].wait()
    else:
        os.kill(int(os.environ["ZYPO_DESKTOP_PULSE_PID"]), signal.SIGKILL)
    poll(lambda: subprocess.run(["pactl", "info"], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL).returncode != 0, "the sound server gone")


def restart_sound_server():
    """Starts the session's sound server again, as after an update or a resume; it is ended with
    the test case. Under PipeWire its PulseAudio server is what starts again, with the null sink."""
    pipewire = os.environ.get("ZYPO_DESKTOP_SOUND") == "pipewire"
    if pipewire:
        server = subprocess.Popen(["pipewire-pulse"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    else:
        server = subprocess.Popen(
            ["pulseaudio", "--daemonize=no", "--system=false", "--exit-idle-time=-1", "--disallow-exit",
             "-n", "--use-pid-file=false", "-F", os.environ["ZYPO_DESKTOP_PULSE_CONFIG"]],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _restarted_servers.append(server)
    poll(lambda: subprocess.run(["pactl", "info"], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL).returncode == 0, "the sound server back")
    if pipewire:
        run("pactl", "load-module", "module-null-sink", "sink_name=zypo_null",
            "sink_properties=device.description=zypo_null")
        run("pactl", "set-default-sink", "zypo_null")
    return server


def end_restarted_sound_servers():
    for s in _restarted_servers:
        if s.poll() is None:
            s.terminate()
            s.wait()
    _restarted_servers.clear()


def main():
    need_desktop()
    unittest.main(verbosity=2)
