#!/usr/bin/env bash
# Runs a command on an isolated desktop of its own: Xvfb at 96 DPI on a free display, the openbox
# window manager, a private D-Bus session bus, PulseAudio in user mode whose default sink is a
# null sink ("zypo_null"), a fresh HOME and a Japanese locale. Ends exactly the processes it
# started, by their pids, and returns the command's exit status.
#   tools/desktop-session.sh [--locale LOCALE] [--size WxH] [--sound pipewire]
#                            [--session x11|wayland|wayland-only] -- COMMAND [ARGS...]
# With --sound pipewire the sound server is PipeWire with its PulseAudio server (pipewire,
# wireplumber, pipewire-pulse), as most distributions now start it; the null sink is the same.
# The command sees DISPLAY, HOME, XDG_RUNTIME_DIR, DBUS_SESSION_BUS_ADDRESS, PULSE_SERVER,
# ZYPO_DESKTOP_SINK (the null sink's name; record its ".monitor"), ZYPO_DESKTOP_PULSE_PID,
# ZYPO_DESKTOP_PULSE_CONFIG and ZYPO_DESKTOP_X_PID.
#
# --session wayland runs a headless sway instead of Xvfb and openbox, with XWayland for X11
# programs; wayland-only runs it without any X server, as kiosk compositors do. The command then
# sees WAYLAND_DISPLAY, SWAYSOCK, XDG_SESSION_TYPE=wayland and ZYPO_DESKTOP_SESSION (and DISPLAY,
# XWayland's, with XWayland). sway refuses to run as root: run by root, it runs as the
# unprivileged user zypodesk (made by tools/setup.sh), and XWayland admits root by name.
set -euo pipefail

locale_name=ja_JP.UTF-8
size=1280x1024
sound=pulseaudio
kind=x11
while [ $# -gt 0 ]; do
  case "$1" in
    --locale) locale_name=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    --sound) sound=$2; shift 2 ;;
    --session) kind=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "desktop-session: unknown option $1" >&2; exit 2 ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: desktop-session.sh [--locale L] [--size WxH] -- COMMAND..." >&2; exit 2; }

fail() { echo "desktop-session: $*" >&2; exit 3; }
case "$kind" in
  x11) tools=(Xvfb openbox) ;;
  wayland) tools=(sway swaymsg grim wtype Xwayland xhost) ;;
  wayland-only) tools=(sway swaymsg grim wtype) ;;
  *) fail "unknown session $kind" ;;
esac
for tool in "${tools[@]}" dbus-daemon pulseaudio pactl xprop; do
  command -v "$tool" >/dev/null || fail "$tool is missing (run tools/setup.sh)"
done

pids=()
session=$(mktemp -d /tmp/zypo-desktop.XXXXXX)
cleanup() {
  local status=$?
  # Newest first: the sound server and the window manager before the X server they talk to.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
  done
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    for _ in $(seq 50); do kill -0 "${pids[i]}" 2>/dev/null || break; sleep 0.1; done
    kill -9 "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$session"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

wait_for() { # seconds, then a command that succeeds when ready
  local limit=$1; shift
  for _ in $(seq $((limit * 10))); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  return 1
}

start_x11() {
  # A free display number: neither a socket nor a lock file of another X server.
  display=""
  for n in $(seq 91 199); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
  done
  [ -n "$display" ] || fail "no free display"

  Xvfb "$display" -screen 0 "${size}x24" -dpi 96 -nolisten tcp -noreset >"$session/xvfb.log" 2>&1 &
  pids+=($!)
  # A test may end the X server itself, as a display connection that breaks.
  export ZYPO_DESKTOP_X_PID=$!
  export DISPLAY=$display
  wait_for 20 xprop -root _NET_NONE || { cat "$session/xvfb.log" >&2; fail "Xvfb did not start on $display"; }
}

start_sway() {
  # sway's own runtime folder: its sockets, its configuration, its HOME.
  local wrun=$session/wayland
  mkdir -p "$wrun"
  chmod 711 "$session"
  local runas=()
  if [ "$(id -u)" -eq 0 ]; then
    id zypodesk >/dev/null 2>&1 || fail "no user zypodesk to run sway (run tools/setup.sh)"
    chown zypodesk: "$wrun"
    runas=(setpriv --reuid=zypodesk --regid="$(id -g zypodesk)" --clear-groups)
  fi
  chmod 700 "$wrun"
  local xwayland=disable
  [ "$kind" = wayland ] && xwayland=force
  # Windows float at the size their programs ask for, as on a desktop; a window that asks to be
  # activated (xdg-activation, or X11's _NET_ACTIVE_WINDOW) is given the focus, as GNOME and
  # KDE Plasma give it to a program the user is working with. The player's video windows are
  # not focused merely for being shown: the front is theirs only when the player asks for it.
  cat >"$wrun/config" <<CONFIG
output HEADLESS-1 resolution $size position 0 0
xwayland $xwayland
default_border normal
focus_on_window_activation focus
for_window [app_id=".*"] floating enable
for_window [class=".*"] floating enable
no_focus [title="^ジポプレーヤー\\(.*\\)\$"]
CONFIG
  chmod 644 "$wrun/config"
  env -i PATH="$PATH" HOME="$wrun" XDG_RUNTIME_DIR="$wrun" WLR_BACKENDS=headless WLR_RENDERER=pixman \
    WLR_LIBINPUT_NO_DEVICES=1 "${runas[@]}" sway -c "$wrun/config" >"$session/sway.log" 2>&1 &
  pids+=($!)
  wait_for 20 sh -c "ls '$wrun'/sway-ipc.*.sock && ls '$wrun'/wayland-?" ||
    { cat "$session/sway.log" >&2; fail "sway did not start"; }
  SWAYSOCK=$(ls "$wrun"/sway-ipc.*.sock | head -1)
  WAYLAND_DISPLAY=$(ls "$wrun"/wayland-? | head -1)
  export SWAYSOCK WAYLAND_DISPLAY XDG_SESSION_TYPE=wayland
  # A keyboard on the seat for the whole session, as a desktop has one (a virtual one that types
  # nothing). Keys typed later through another one reach programs that hold a keyboard already:
  # on a seat without one, the first keys would go by while a program takes its keyboard.
  wtype -s 86400000 &
  pids+=($!)
  wait_for 20 sh -c 'swaymsg -t get_seats | grep -q virtual_keyboard' || fail "no keyboard on the seat"
  unset DISPLAY
  if [ "$xwayland" = force ]; then
    # XWayland's display is in sway's environment; it admits the user who started sway, and
    # root only when named.
    swaymsg -q exec "echo \$DISPLAY >$wrun/display"
    wait_for 20 test -s "$wrun/display" || fail "no X server from sway"
    DISPLAY=$(cat "$wrun/display")
    export DISPLAY
    if [ "$(id -u)" -eq 0 ]; then swaymsg -q exec "xhost +si:localuser:root"; fi
    wait_for 20 xprop -root _NET_NONE || { cat "$session/sway.log" >&2; fail "XWayland did not start on $DISPLAY"; }
  fi
}

export ZYPO_DESKTOP_SESSION=$kind
if [ "$kind" = x11 ]; then start_x11; else start_sway; fi

export HOME=$session/home
export XDG_RUNTIME_DIR=$session/run
export XDG_CONFIG_HOME=$HOME/.config
mkdir -p "$HOME" "$XDG_RUNTIME_DIR/pulse"
chmod 700 "$XDG_RUNTIME_DIR"
export LANG=$locale_name LC_ALL=$locale_name LANGUAGE=""

dbus-daemon --session --nofork --nopidfile --address="unix:path=$XDG_RUNTIME_DIR/bus" \
  >"$session/dbus.log" 2>&1 &
pids+=($!)
export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
wait_for 20 test -S "$XDG_RUNTIME_DIR/bus" || fail "no session bus"

if [ "$kind" = x11 ]; then
  openbox --sm-disable >"$session/openbox.log" 2>&1 &
  pids+=($!)
  wait_for 20 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' || fail "openbox did not start"
fi

cat >"$session/pulse.pa" <<EOF
load-module module-native-protocol-unix socket=$XDG_RUNTIME_DIR/pulse/native auth-anonymous=1
load-module module-null-sink sink_name=zypo_null sink_properties=device.description=zypo_null
set-default-sink zypo_null
EOF
export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
export ZYPO_DESKTOP_SOUND=$sound
# A test may end the sound server itself, as a crashing one would, and start it again from the
# same configuration (its own process then, which the test ends).
export ZYPO_DESKTOP_PULSE_CONFIG=$session/pulse.pa
case "$sound" in
  pulseaudio)
    pulseaudio --daemonize=no --system=false --exit-idle-time=-1 --disallow-exit -n \
      --use-pid-file=false -F "$session/pulse.pa" >"$session/pulse.log" 2>&1 &
    pids+=($!)
    export ZYPO_DESKTOP_PULSE_PID=$!
    wait_for 20 pactl info || { cat "$session/pulse.log" >&2; fail "PulseAudio did not start"; }
    ;;
  pipewire)
    for tool in pipewire wireplumber pipewire-pulse; do
      command -v "$tool" >/dev/null || fail "$tool is missing (run tools/setup.sh)"
    done
    pipewire >"$session/pipewire.log" 2>&1 &
    pids+=($!)
    wait_for 20 test -S "$XDG_RUNTIME_DIR/pipewire-0" || { cat "$session/pipewire.log" >&2; fail "PipeWire did not start"; }
    wireplumber >"$session/wireplumber.log" 2>&1 &
    pids+=($!)
    pipewire-pulse >"$session/pulse.log" 2>&1 &
    pids+=($!)
    export ZYPO_DESKTOP_PULSE_PID=$!
    wait_for 20 pactl info || { cat "$session/pulse.log" >&2; fail "pipewire-pulse did not start"; }
    # Its PulseAudio server answers before the session manager has given PipeWire the factory
    # that makes a sink: until then a sink is "not supported".
    wait_for 20 pactl load-module module-null-sink sink_name=zypo_null sink_properties=device.description=zypo_null ||
      { cat "$session/wireplumber.log" >&2; fail "pipewire-pulse made no null sink"; }
    wait_for 20 pactl set-default-sink zypo_null || fail "the null sink is not the default"
    ;;
  *) fail "unknown sound server $sound" ;;
esac
export ZYPO_DESKTOP_SINK=zypo_null

# The player on this desktop uses its real outputs.
unset QT_QPA_PLATFORM ZYPO_AUDIO ZYPO_VIDEO ZYPO_UNTIMED
set +e
"$@"
status=$?
set -e
# A sound server that aborted under the player (an assertion of its own) fails the session, even
# where the test went on to pass on a server it started again.
if grep -q "Assertion .* failed" "$session/pulse.log" 2>/dev/null; then
  grep -m3 "Assertion .* failed" "$session/pulse.log" >&2
  echo "desktop-session: the sound server aborted during the session" >&2
  [ "$status" -ne 0 ] || status=1
fi
exit $status
