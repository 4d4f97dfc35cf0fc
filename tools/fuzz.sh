#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for the given number of seconds, two at a time, from the seed corpus in
# tests/fuzz/corpus. New inputs that reach new code are kept in build-fuzz/corpus; a crash
# leaves its input in build-fuzz/crashes.
#   tools/fuzz.sh [seconds-per-target] [target ...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(smf rz0 mediacommands settings)
build="$here/build-fuzz"

"$here/tools/setup.sh" "$here/build" >/dev/null
if ! command -v clang++ >/dev/null || ! dpkg-query -W libclang-rt-14-dev >/dev/null 2>&1; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends clang libclang-rt-14-dev
fi
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZYPO_FUZZ=ON -DZYPO_TESTS=OFF >/dev/null
cmake --build "$build" --target $(printf 'fuzz_%s ' "${targets[@]}")

export QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
mkdir -p "$build/crashes"
run() {
  local t=$1
  mkdir -p "$build/corpus/$t"
  "$build/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
    -artifact_prefix="$build/crashes/$t-" -print_final_stats=1 \
    "$build/corpus/$t" "$here/tests/fuzz/corpus/$t" >"$build/$t.log" 2>&1 || true
  echo "$t: $(grep -E '^stat::number_of_executed_units' "$build/$t.log" | awk '{print $2}') inputs tried," \
       "$(ls "$build/crashes" | grep -c "^$t-" || true) crashes"
}
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  run "${targets[i]}" &
  [ $((i + 1)) -lt ${#targets[@]} ] && run "${targets[i + 1]}" &
  wait
done
# Any crash input left behind fails the run.
[ -z "$(ls -A "$build/crashes")" ]
