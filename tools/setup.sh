#!/usr/bin/env bash
# Installs every Debian package the player needs to build, run and test, then configures and
# builds it. Safe to run again: when everything is there it only rebuilds what changed.
#   tools/setup.sh [build-dir] [extra cmake args...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build"}
shift || true

packages=(
  # build
  g++ cmake ninja-build pkg-config qt6-base-dev libmpv-dev libfluidsynth-dev libgtest-dev libxcb1-dev libx11-dev libpulse-dev
  # run: a General MIDI SoundFont (and the small one the tests use), Japanese glyphs
  fluid-soundfont-gm timgm6mb-soundfont fonts-ipafont-gothic qt6-translations-l10n
  # tests, screenshots and recordings of what the player shows and sounds
  xvfb xauth x11-utils xdotool imagemagick pulseaudio pulseaudio-utils sox locales
  # the desktop suite: a window manager of its own; PipeWire as the other sound server
  openbox pipewire pipewire-pulse wireplumber
  # the desktop suite on Wayland: a headless sway, with and without XWayland; Qt's Wayland
  # platform as KDE Plasma and GNOME desktops have it; screenshots and window state from sway
  sway swaybg xwayland grim wtype qt6-wayland x11-xserver-utils
  # a network share that stops answering, made by the desktop suite itself
  fuse3 python3-fusepy
  # benchmarks: the tools a user would pick instead, as baselines; python3 for the figures
  fluidsynth mpv python3
  # bench/desktop: WAVs and AVIs of the formats old collections hold
  ffmpeg
  # the desktop files, the Debian package, the media keys (a session bus for the tests), MIDI out
  desktop-file-utils libxml2-utils shared-mime-info dpkg-dev dbus libasound2-dev playerctl
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "setup: installing ${missing[*]}"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# sway, the desktop suite's Wayland compositor, refuses to run as root: the suite runs it as this
# unprivileged user when it is run by root.
if [ "$(id -u)" -eq 0 ] && ! id zypodesk >/dev/null 2>&1; then
  useradd --system --no-create-home --shell /usr/sbin/nologin zypodesk
fi

# A Japanese locale, so that the player is also tried under ja_JP.UTF-8.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZYPO_WERROR=ON "$@"
cmake --build "$build"

# The demo folder's media and playlist, made by our own tool.
ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen "$build/tools/makedemo" "$here/demo"
