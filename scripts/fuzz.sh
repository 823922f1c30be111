#!/usr/bin/env bash
# Builds the libFuzzer targets, writes their seed corpora into
# build/fuzz/corpus/<target> and runs each target for SECONDS seconds (default
# 30). Stops with a failure at the first finding; the input that caused it is
# kept in build/fuzz/findings/<target>/.
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

while read -r target; do
  [ -n "$target" ] || continue
  corpus=build/fuzz/corpus/$target
  findings=build/fuzz/findings/$target
  mkdir -p "$corpus" "$findings"
  echo "== $target, $seconds s"
  if ! "build/fuzz/fuzz/$target" "$corpus" -max_total_time="$seconds" \
      -artifact_prefix="$findings/" -print_final_stats=1; then
    echo "== $target found a fault; the input is in $findings/" >&2
    exit 1
  fi
done < build/fuzz/fuzz/targets.txt

echo "== no findings"
