#!/usr/bin/env bash
# The Windows command-line program runs a station too: a short simulated line
# of 20 cameras through 4 slots on the simulated time, under wine64, with one
# fault aimed at the seventh camera. Every camera is burned once, exactly the
# seventh fails, and the summary and the run report agree. Wine runs in this
# checkout's own prefix (scripts/wine-env.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh
ensure_wine_prefix

windows=build/win64/hosts/cli/burnbench-cli.exe
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp examples/Isp.ini examples/param.txt examples/core.bin examples/fw.brn "$work/"
winpath="Z:$(echo "$work" | tr '/' '\\')"

fail() { echo "wine station: $*" >&2; exit 1; }
"$wine64" "$windows" --ini "$winpath\\Isp.ini" pin >/dev/null || fail "pin failed"
status=0
"$wine64" "$windows" --virtual-clock --ini "$winpath\\Isp.ini" --report "$winpath\\runs.jsonl" \
  station --simulate 4 --line 20 --line-serials W- --fault @7:busy \
  >"$work/out.txt" 2>"$work/err.txt" || status=$?
tr -d '\r' <"$work/out.txt" >"$work/lines.txt"
[ "$status" -eq 1 ] || fail "exit status $status, not 1: $(cat "$work/err.txt")"
[ "$(wc -l <"$work/lines.txt")" -eq 20 ] || fail "$(wc -l <"$work/lines.txt") lines, not 20"
[ "$(cut -f3 "$work/lines.txt" | sort -u | wc -l)" -eq 20 ] || fail "a camera burned twice"
[ "$(awk -F'\t' '$4 == "failed" { print $3 }' "$work/lines.txt")" = "W-00007" ] || fail "not exactly W-00007 failed"
grep -q "20 runs: 19 passed, 1 failed" "$work/err.txt" || fail "no summary: $(cat "$work/err.txt")"
[ "$(grep -c '"serial":"W-' "$work/runs.jsonl")" -eq 20 ] || fail "the report lacks runs"
echo "wine station: 20 cameras through 4 slots, each burned once, W-00007 failed as aimed"
