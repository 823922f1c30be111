#!/usr/bin/env bash
# Wall time of burning several simulated cameras at once beside burning one,
# with the cameras' real pacing (the one-second pauses after each download,
# the five-second polls of the storage write). The cameras burn side by side,
# so the tool's target is a time of at most 1.25 times one camera's; the script
# fails when it is missed.
#   bench/cameras.sh [CAMERAS] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
cameras=${1:-8}
runs=${2:-1}

cmake --preset bench >/dev/null
cmake --build --preset bench --target burnbench-cli >/dev/null
cli=$PWD/build/bench/hosts/cli/burnbench-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp examples/Isp.ini examples/param.txt examples/core.bin examples/fw.brn "$work/"

best() {
  local best_ns=""
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    local ns=$((end - start))
    if [ -z "$best_ns" ] || [ "$ns" -lt "$best_ns" ]; then best_ns=$ns; fi
  done
  echo "$best_ns"
}

one=$(best "$cli" --simulate 1 --ini "$work/Isp.ini" burn --verify)
many=$(best "$cli" --simulate "$cameras" --ini "$work/Isp.ini" burn --all --verify)
awk -v n="$cameras" -v one="$one" -v many="$many" 'BEGIN {
  ratio = many / one
  printf "burn --verify, best of runs: 1 camera %.2f s, %d cameras %.2f s, ratio %.3f (target <= 1.25)\n",
         one / 1e9, n, many / 1e9, ratio
  exit ratio <= 1.25 ? 0 : 1 }'
