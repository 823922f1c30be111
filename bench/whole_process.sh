#!/usr/bin/env bash
# Whole-process timings of the offline commands on a large image, each beside
# the system tool that moves the same bytes: convert and export beside cp,
# compare beside cmp. Prints the best of RUNS wall-clock times and the ratios.
#   bench/whole_process.sh [SIZE_MIB] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:-256}
runs=${2:-3}

cmake --preset bench >/dev/null
cmake --build --preset bench --target burnbench-cli make_large_image burn_bench >/dev/null
cli=build/bench/hosts/cli/burnbench-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

build/bench/bench/make_large_image "$size" "$work/image.raw" "$work/image.brn"
mkdir -p "$work/export"

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

report() {
  local name=$1 ours=$2 theirs=$3 tool=$4
  awk -v n="$name" -v o="$ours" -v t="$theirs" -v tool="$tool" 'BEGIN {
    printf "%-8s %8.1f ms   %-4s %8.1f ms   ratio %.2f\n", n, o / 1e6, tool, t / 1e6, o / t }'
}

echo "image: $size MiB, best of $runs runs"
report convert "$(best "$cli" convert "$work/image.raw" "$work/out.brn")" \
  "$(best cp "$work/image.raw" "$work/copy.raw")" cp
report compare "$(best "$cli" compare "$work/out.brn" "$work/image.brn")" \
  "$(best cmp "$work/out.brn" "$work/image.brn")" cmp
report export "$(best "$cli" export "$work/image.brn" "$work/export")" \
  "$(best cp "$work/image.brn" "$work/copy.brn")" cp
