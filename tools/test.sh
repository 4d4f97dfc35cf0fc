#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test headless.
#   tools/test.sh [build-dir] [extra cmake args...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build"}
shift || true
"$here/tools/setup.sh" "$build" "$@"
export QT_QPA_PLATFORM=offscreen ZYPO_AUDIO=null ZYPO_VIDEO=null OMP_NUM_THREADS=1
cd "$build"
# ZYPO_CTEST_ARGS narrows the run (the ThreadSanitizer pass runs the tests with engine threads).
# shellcheck disable=SC2086
ctest --output-on-failure -j2 ${ZYPO_CTEST_ARGS:-}
