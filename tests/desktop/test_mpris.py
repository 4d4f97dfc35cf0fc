"""The desktop's media controls (playerctl, and a plain D-Bus property read): the elapsed time is
reported as Position while an item plays, Stop silences it, and the media key's play-pause
after Stop starts the entry still chosen in the list. Nothing of the audio libraries' own
chatter reaches the terminal."""

import subprocess

from desk import (DesktopCase, Recorder, current_title, main, make, poll, silent_tail,
                  sounding_tail)

NAMES = ("a.wav", "b.wav")


def playerctl(*args):
    return subprocess.run(["playerctl", "--player=zypo", *args], capture_output=True, text=True,
                          timeout=10).stdout.strip()


def dbus_position():
    out = subprocess.run(
        ["dbus-send", "--session", "--print-reply", "--dest=org.mpris.MediaPlayer2.zypo",
         "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties.Get",
         "string:org.mpris.MediaPlayer2.Player", "string:Position"],
        capture_output=True, text=True, timeout=10).stdout
    return int(out.split("int64")[1].split()[0])


class MediaControls(DesktopCase):
    def test_position_stop_and_play_pause_from_the_desktop(self):
        make("tone", self.path("a.wav"), 440, 8000)
        make("tone", self.path("b.wav"), 659, 8000)
        p = self.start()
        rec = Recorder()
        try:
            p.choose_entry(0)
            p.press("play")
            poll(lambda: sounding_tail(rec.samples(), 0.3, 440), "a.wav sounding")
            self.assertEqual(playerctl("status"), "Playing")
            # Position (microseconds) grows with the item, read either way.
            first = dbus_position()
            poll(lambda: dbus_position() >= first + 1_000_000, "a second more of Position")
            poll(lambda: float(playerctl("position") or 0) >= 2.0, "playerctl's position past 2 s")
            self.assertEqual(playerctl("metadata", "--format", "{{mpris:length}}"), "8000000")

            playerctl("stop")
            poll(lambda: playerctl("status") == "Stopped", "Stopped")
            poll(lambda: silent_tail(rec.samples(), 0.5), "silence after Stop")

            # The media key after Stop: the entry still chosen plays again, from its start.
            playerctl("play-pause")
            poll(lambda: playerctl("status") == "Playing", "Playing again")
            poll(lambda: sounding_tail(rec.samples(), 0.3, 440), "a.wav sounding again")
            self.assertEqual(current_title(NAMES), "a.wav")
            self.assertLess(dbus_position(), 3_000_000)
        finally:
            rec.stop()
        self.assertEqual(p.boxes(), [])
        # Nothing of the audio libraries' probing reaches the user's terminal (mpv tried
        # PipeWire first and printed its missing client.conf in every session without one).
        self.assertNotIn("client.conf", p.output())
        self.assertNotIn("ALSA lib", p.output())


if __name__ == "__main__":
    main()
