#!/usr/bin/env bash
# The soak run: continuous play through 300 short items (broken ones among them) on the real
# engines with null output, for the given number of item changes (10,000 by default).
#   tools/soak.sh [item-changes] [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
changes=${1:-10000}
build=${2:-"$here/build"}
cmake --build "$build" --target soak >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
QT_QPA_PLATFORM=offscreen ZYPO_AUDIO=null ZYPO_VIDEO=null ZYPO_UNTIMED=1 OMP_NUM_THREADS=1 \
  "$build/tools/soak" "$work/items" "$changes"
