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

# The Windows station serves its page too: the page and a snapshot of its
# slots, fetched while a line runs on a sped-up time; the Windows program
# keeps no database of runs (404) and serves no HTTPS (exit 2).
status=0
"$wine64" "$windows" --ini "$winpath\\Isp.ini" station --simulate 2 --line 2 --time-scale 1 \
  --serve 127.0.0.1:0 --tls "$winpath\\Isp.ini" "$winpath\\Isp.ini" >/dev/null 2>"$work/tls.txt" || status=$?
[ "$status" -eq 2 ] && grep -q "this build serves no HTTPS" "$work/tls.txt" || fail "--tls: status $status, $(cat "$work/tls.txt")"
"$wine64" "$windows" --ini "$winpath\\Isp.ini" station --simulate 2 --line 40 --line-serials P- --time-scale 2 \
  --serve 127.0.0.1:0 >"$work/page-out.txt" 2>"$work/page-err.txt" &
station=$!
trap 'kill "$station" 2>/dev/null || true; rm -rf "$work"' EXIT
url=''
for _ in $(seq 1 600); do
  url=$(grep -ao 'http://127.0.0.1:[0-9]*/' "$work/page-err.txt" | head -1 || true)
  [ -n "$url" ] && break
  sleep 0.1
done
[ -n "$url" ] || fail "the Windows station serves no page: $(cat "$work/page-err.txt")"
curl -fsS -o "$work/page.html" "$url" || fail "no page at $url"
grep -q '<title>Burnbench station</title>' "$work/page.html" || fail "$url is not the station's page"
# Its slots are the locations where cameras show up: wait for both.
for _ in $(seq 1 100); do
  curl -fsS "${url}api/slots" | grep -q '{"label":"2"' && break
  sleep 0.1
done
curl -sN --max-time 3 -o "$work/events.txt" "${url}events" || true
snapshot=$(sed -n '/^event: snapshot/{n;p;q}' "$work/events.txt")
grep -q '"slots":\[{"label":"1".*{"label":"2"' <<<"$snapshot" ||
  fail "no snapshot of the two slots from ${url}events: $(head -c 600 "$work/events.txt")"
[ "$(curl -s -o /dev/null -w '%{http_code}' "${url}api/runs")" = 404 ] || fail "/api/runs is not 404 without records"
kill "$station"
wait "$station" 2>/dev/null || true
echo "wine station: its page and a snapshot of its two slots served at $url"
