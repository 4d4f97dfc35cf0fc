#!/usr/bin/env bash
# The soak run: continuous play through 300 short items (broken ones among them) on the real
# engines with null output, for the given number of item changes (10,000 by default).
#   tools/soak.sh [item-changes] [build-dir]
# The week: 3,400 changes (a week of three-minute items) of sound items only, played through a
# real PulseAudio null sink on a desktop session of its own, with the sound server ended and
# started again every few minutes (every 120 s by default, away for 3 s). Resident memory, open
# files and threads must stay flat, no item may be called failed, and play must never stop.
#   tools/soak.sh --week [item-changes] [build-dir] [restart-seconds]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
week=0
if [ "${1:-}" = "--week" ]; then
  week=1
  shift
fi
changes=${1:-$([ $week = 1 ] && echo 3400 || echo 10000)}
build=${2:-"$here/build"}
every=${3:-120}
cmake --build "$build" --target soak >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ $week = 0 ]; then
  QT_QPA_PLATFORM=offscreen ZYPO_AUDIO=null ZYPO_VIDEO=null ZYPO_UNTIMED=1 OMP_NUM_THREADS=1 \
    "$build/tools/soak" "$work/items" "$changes"
  exit
fi

# Inside the session: the soak in the background, and the sound server's restarts beside it.
export SOAK="$build/tools/soak" ITEMS="$work/items" CHANGES="$changes" EVERY="$every"
exec bash "$here/tools/desktop-session.sh" -- bash -c '
  set -u
  QT_QPA_PLATFORM=offscreen ZYPO_VIDEO=null OMP_NUM_THREADS=1 "$SOAK" --week "$ITEMS" "$CHANGES" &
  soak=$!
  server=$ZYPO_DESKTOP_PULSE_PID
  restarts=0
  start=$SECONDS
  while kill -0 $soak 2>/dev/null; do
    for _ in $(seq "$EVERY"); do kill -0 $soak 2>/dev/null || break 2; sleep 1; done
    kill -9 "$server" 2>/dev/null
    sleep 3
    pulseaudio --daemonize=no --system=false --exit-idle-time=-1 --disallow-exit -n \
      --use-pid-file=false -F "$ZYPO_DESKTOP_PULSE_CONFIG" >/dev/null 2>&1 &
    server=$!
    restarts=$((restarts + 1))
    echo "sound server restarted ($restarts) at $((SECONDS - start)) s"
  done
  wait $soak
  status=$?
  kill "$server" 2>/dev/null
  echo "sound server restarts: $restarts"
  exit $status
'
