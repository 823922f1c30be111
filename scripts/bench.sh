#!/usr/bin/env bash
# Runs bench/whole_process.sh and compares its table with the one in the
# README's performance section: every figure that got more than 25 % worse
# (slower, larger, a higher ratio to the system tool, a target or one camera;
# fewer cameras per hour) is named, and the script then fails. Not part of
# scripts/test.sh: timings need a quiet machine.
#   scripts/bench.sh [--write] [SIZE_MIB] [RUNS]
# --write replaces the README's performance section with the new output.
set -euo pipefail
cd "$(dirname "$0")/.."
write=false
if [ "${1:-}" = "--write" ]; then write=true; shift; fi

scripts/install-packages.sh all >/dev/null
now=$(mktemp)
trap 'rm -f "$now"' EXIT
bench/whole_process.sh "$@" | tee "$now"

begin='<!-- performance table: begin -->'
end='<!-- performance table: end -->'
if $write; then
  awk -v b="$begin" -v e="$end" -v f="$now" '
    $0 == b { print; while ((getline line < f) > 0) print line; skip = 1; next }
    $0 == e { skip = 0 }
    !skip { print }' README.md >README.md.new
  mv README.md.new README.md
  echo "== README.md updated"
  exit 0
fi

# Table rows as "figure|column|value" for the numbers that must not grow (or,
# for a figure per hour, must not shrink); the system tool's own time and a
# bound or target (column 6) are not ours to keep.
figures() {
  awk -F'|' '/^\| / && $2 !~ /figure|---/ {
    name = $2; gsub(/^ +| +$/, "", name)
    for (i = 3; i <= NF; ++i) {
      if (i == 6) continue
      v = $i; gsub(/^ +| +$/, "", v)
      if (v ~ /^[0-9.]+( ms| MiB)?$/) { split(v, n, " "); print name "|" i "|" n[1] }
    }
  }'
}
readme=$(sed -n "/^$begin\$/,/^$end\$/p" README.md | figures)
current=$(figures <"$now")
regressed=$(awk -F'|' 'NR == FNR { before[$1 "|" $2] = $3; next }
  ($1 "|" $2) in before && before[$1 "|" $2] > 0 {
    was = before[$1 "|" $2]
    worse = $1 ~ /per hour/ ? $3 * 1.25 < was : $3 > 1.25 * was
    if (worse) printf "%s (column %d): %s, was %s\n", $1, $2 - 2, $3, was }' \
  <(echo "$readme") <(echo "$current"))
if [ -n "$regressed" ]; then
  echo "== regressed by more than 25 % against the README:"
  echo "$regressed"
  exit 1
fi
echo "== no figure regressed by more than 25 % against the README"
