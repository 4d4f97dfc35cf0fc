"""The player on a Wayland desktop (a headless sway, with or without XWayland), as a user meets
it there: windows found in sway's tree (shell xdg_shell, or xwayland for a program that took the
X11 platform), screenshots with grim, keys through a virtual keyboard (wtype), the window's close
box and focus through sway, playback through the desktop's media controls (MPRIS).

Runs inside tools/desktop-session.sh --session wayland|wayland-only. Every wait polls for a
condition with a generous limit; no check depends on how long something took.
"""

import json
import os
import signal
import subprocess
import tempfile
import time
import unittest

from desk import ZYPO, clear_settings, poll, run

SESSION = os.environ.get("ZYPO_DESKTOP_SESSION", "")
MAIN_TITLE = "ジポプレーヤー"


def need_wayland():
    """The suite fails loudly without its compositor; it never skips."""
    for var in ("WAYLAND_DISPLAY", "SWAYSOCK", "PULSE_SERVER", "ZYPO_DESKTOP_SINK"):
        if not os.environ.get(var):
            raise SystemExit(f"wayland suite: {var} is not set; run it through "
                             "tools/desktop-session.sh --session wayland")
    if not os.access(ZYPO, os.X_OK):
        raise SystemExit(f"wayland suite: no player at {ZYPO}")


def tree():
    return json.loads(run("swaymsg", "-t", "get_tree"))


def views(node=None):
    """Every window sway shows, as its tree nodes."""
    node = node or tree()
    found = [node] if node.get("pid") and node.get("type") in ("con", "floating_con") else []
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        found += views(child)
    return found


def content(view):
    """The window's client area on the output: (x, y, width, height)."""
    r, w = view["rect"], view["window_rect"]
    return r["x"] + w["x"], r["y"] + w["y"], w["width"], w["height"]


def focused():
    for v in views():
        if v.get("focused"):
            return v["id"]
    return 0


def focus(con_id):
    run("swaymsg", f"[con_id={con_id}]", "focus")


def close_box(con_id):
    """The window's close box: sway asks the program to close the window."""
    run("swaymsg", f"[con_id={con_id}]", "kill")


def keys(*sequence):
    """Keys to the focused window, at a typist's pace (a menu opens between keys): "alt+b" (a
    chord) or a key name ("Down", "Return"). A Wayland window gets them through a virtual
    keyboard (wtype), all in one: the seat loses that keyboard when wtype ends, and an open menu
    would close with it. An X11 window on XWayland gets them through the X server's own test
    input: XWayland takes a virtual keyboard's keymap too late for the first keys."""
    if any(v.get("focused") and v.get("shell") == "xwayland" for v in views()):
        run("xdotool", "key", "--clearmodifiers", "--delay", "300", *sequence)
        return
    cmd = ["wtype"]
    for k in sequence:
        if "+" in k:
            mod, name = k.split("+", 1)
            cmd += ["-M", mod, name, "-m", mod]
        else:
            cmd += ["-k", k]
        cmd += ["-s", "300"]
    run(*cmd)


def screenshot(view):
    """The client area's pixels as (width, height, bytes of RGB)."""
    x, y, w, h = content(view)
    out = subprocess.run(["grim", "-g", f"{x},{y} {w}x{h}", "-t", "ppm", "-"], stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, check=True).stdout
    return read_ppm(out)


def read_ppm(data):
    """A binary PPM (P6, maxval 255) as (width, height, bytes of RGB)."""
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[at + 1:at + 1 + width * height * 3]


class BusyCompositor:
    """The compositor on a machine busy with other work: it runs at the lowest priority while
    programs at the normal one keep every processor busy, so it maps a window it was asked to
    show long after the program has moved on."""

    def __init__(self):
        # The IPC socket's name carries the compositor's process id: sway-ipc.UID.PID.sock.
        self.pid = int(os.path.basename(os.environ["SWAYSOCK"]).split(".")[2])
        self.nice = os.getpriority(os.PRIO_PROCESS, self.pid)
        os.setpriority(os.PRIO_PROCESS, self.pid, 19)
        self.loops = [subprocess.Popen(["sh", "-c", "while :; do :; done"])
                      for _ in range(2 * (os.cpu_count() or 1))]

    def stop(self):
        for loop in self.loops:
            loop.kill()
            loop.wait()
        try:
            os.setpriority(os.PRIO_PROCESS, self.pid, self.nice)
        except PermissionError:
            pass  # not run by root: the compositor stays behind, which later cases tolerate


def save_screenshot(path):
    run("grim", path)


def mpris(method):
    run("dbus-send", "--session", "--print-reply", "--dest=org.mpris.MediaPlayer2.zypo",
        "/org/mpris/MediaPlayer2", f"org.mpris.MediaPlayer2.Player.{method}")


def mpris_title():
    out = run("dbus-send", "--session", "--print-reply", "--dest=org.mpris.MediaPlayer2.zypo",
              "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties.Get",
              "string:org.mpris.MediaPlayer2.Player", "string:Metadata", check=False)
    marker = 'string "xesam:title"'
    if marker not in out:
        return ""
    return out.split(marker, 1)[1].split('string "', 1)[1].split('"', 1)[0]


class WaylandPlayer:
    """The real executable, started in a folder of its own on the Wayland session."""

    def __init__(self, cwd, args=()):
        self.log = open(os.path.join(tempfile.gettempdir(), f"zypo-{os.getpid()}-{time.time_ns()}.log"), "w")
        self.proc = subprocess.Popen([ZYPO, *args], cwd=cwd, stdout=self.log, stderr=self.log)
        self.main = poll(lambda: self.window(lambda t: t == MAIN_TITLE), "the main window")
        poll(mpris_ready, "the player on the session bus")

    def windows(self):
        return [v for v in views() if v.get("pid") == self.proc.pid]

    def window(self, title_matches):
        for v in self.windows():
            if title_matches(v.get("name") or ""):
                return v
        return None

    def main_view(self):
        return self.window(lambda t: t == MAIN_TITLE)

    def video(self):
        return self.window(lambda t: t.startswith(MAIN_TITLE + "(") and t != MAIN_TITLE + "(設定)")

    def menu(self, *sequence):
        focus(self.main["id"])
        poll(lambda: focused() == self.main["id"], "the main window focused")
        if self.main.get("shell") == "xwayland":
            # The X server follows the compositor's focus on its own time.
            poll(lambda: run("xdotool", "getwindowfocus", check=False).strip() == str(self.main["window"]),
                 "the X server's focus on the main window")
        keys(*sequence)

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
                self.proc.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.log.close()

    def output(self):
        self.log.flush()
        with open(self.log.name, encoding="utf-8", errors="replace") as f:
            return f.read()


def mpris_ready():
    return subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.mpris.MediaPlayer2.zypo",
                           "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Peer.Ping"],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


class WaylandCase(unittest.TestCase):
    def setUp(self):
        need_wayland()
        clear_settings()
        self.dir = tempfile.mkdtemp(prefix="zypo-wl-")
        self.players = []

    def tearDown(self):
        for p in self.players:
            p.terminate()
        subprocess.run(["rm", "-rf", self.dir])

    def path(self, name):
        return os.path.join(self.dir, name)

    def start(self, *args):
        p = WaylandPlayer(self.dir, args)
        self.players.append(p)
        return p


def main():
    need_wayland()
    unittest.main(verbosity=2)
