#!/usr/bin/env bash
# A line of stations: the runs per second that `forward` sends into a local
# PostgreSQL server (RUNS runs of a simulated shift, 100 a transaction), and a
# station's pace on the virtual clock (200 cameras through 8 slots, best of 3)
# with its line's server up beside down (nothing at its address): the
# forwarder's thread must not slow the station. Prints rows of the README's
# performance table. The server is the tests' own (tests/line/line_server.sh).
#   bench/line_bench.sh CLI [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
cli=$(realpath "$1")
runs=${2:-1000}
work=$(mktemp -d)
chmod 755 "$work"
state="$work/server.state"
trap 'tests/line/line_server.sh stop "$state"; rm -rf "$work"' EXIT
tests/line/line_server.sh start "$state"
read -r dir port bin <"$state"
"$bin/psql" -q -h "$dir" -p "$port" -U postgres -d postgres -c "CREATE DATABASE bench"
# The owner through the server's socket: grants and passwords are not what is measured.
up="postgresql:///bench?host=$dir&port=$port&user=postgres"
down="postgresql:///bench?host=$work/no-server&port=$port&user=postgres"
for name in Isp.ini param.txt core.bin fw.brn; do cp "examples/$name" "$work/"; done
ini=(--ini "$work/Isp.ini")
"$cli" "${ini[@]}" --line "$up" line-setup >/dev/null

now() { date +%s.%N; }
"$cli" "${ini[@]}" --db "$work/runs.db" --simulate 16 --line "$runs" --virtual-clock --allow-unpinned station \
  >/dev/null 2>&1
start=$(now)
"$cli" "${ini[@]}" --db "$work/runs.db" --line "$up" forward >/dev/null
end=$(now)
sent=$("$bin/psql" -At -h "$dir" -p "$port" -U postgres -d bench -c "SELECT count(*) FROM burnbench_runs")
[ "$sent" = "$runs" ] || { echo "the server holds $sent runs of $runs" >&2; exit 1; }

# shift LINE: the best wall time of three shifts that forward to LINE, in seconds
shift_time() {
  local best="" i t0 t1
  for i in 1 2 3; do
    rm -f "$work/shift.db"*
    t0=$(now)
    "$cli" "${ini[@]}" --db "$work/shift.db" --simulate 8 --line 200 --virtual-clock --allow-unpinned \
      --line "$1" station >/dev/null 2>&1
    t1=$(now)
    best=$(awk -v a="$best" -v b="$(awk -v s="$t0" -v e="$t1" 'BEGIN { print e - s }')" \
      'BEGIN { print (a == "" || b < a) ? b : a }')
  done
  echo "$best"
}
with_up=$(shift_time "$up")
with_down=$(shift_time "$down")
awk -v n="$runs" -v s="$start" -v e="$end" -v u="$with_up" -v d="$with_down" 'BEGIN {
  printf "| forward into a local PostgreSQL server, per run | %.3f ms | | | | |\n", (e - s) * 1e3 / n
  printf "| station shift of 200 cameras, virtual clock, its line up | %.0f ms | | line down | %.0f ms | %.2f |\n",
    u * 1e3, d * 1e3, u / d }'
