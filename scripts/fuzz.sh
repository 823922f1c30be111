#!/usr/bin/env bash
# Builds the libFuzzer targets, writes their seed corpora into
# build/fuzz/corpus/<target> and runs each target for SECONDS seconds (default
# 30), as many at once as there are cores. Fails when any target finds a
# fault; the input that caused it is kept in build/fuzz/findings/<target>/.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
case "$seconds" in
  '' | *[!0-9]*) echo "usage: $0 [SECONDS]" >&2; exit 2 ;;
esac

scripts/install-packages.sh all

# The targets write their inputs as files; in memory that goes several times faster.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target burnbench_fuzz -j "$(nproc)"

# Each target runs on a core of its own, as many at once as there are cores;
# its output goes to build/fuzz/logs/<target>.log.
run_target() {
  local target=$1 corpus=build/fuzz/corpus/$1 findings=build/fuzz/findings/$1 log=build/fuzz/logs/$1.log
  mkdir -p "$corpus" "$findings" build/fuzz/logs
  if ! "build/fuzz/fuzz/$target" "$corpus" -max_total_time="$seconds" \
      -artifact_prefix="$findings/" -print_final_stats=1 >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "== $target found a fault; the input is in $findings/" >&2
    return 1
  fi
  echo "== $target, $seconds s: $(sed -n 's/^stat::number_of_executed_units: *//p' "$log") runs, no finding"
}

failed=0
running=0
while read -r target; do
  [ -n "$target" ] || continue
  if [ "$running" -ge "$(nproc)" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  run_target "$target" &
  running=$((running + 1))
done < build/fuzz/fuzz/targets.txt
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done

[ "$failed" -eq 0 ] || exit 1
echo "== no findings"
