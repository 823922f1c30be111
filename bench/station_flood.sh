#!/usr/bin/env bash
# The station's pace and memory while 100 clients hold its page's event
# stream open and read nothing, beside an undisturbed shift: a shift of
# CAMERAS simulated cameras (default 2000) through 8 slots on the virtual
# clock, serving its page, without and with the flood; best of RUNS wall
# times and the peak memory of the process.
#   bench/station_flood.sh [CAMERAS] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
cameras=${1:-2000}
runs=${2:-3}

cmake --preset bench >/dev/null
cmake --build --preset bench --target burnbench-cli >/dev/null
cli=build/bench/hosts/cli/burnbench-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp examples/Isp.ini examples/param.txt examples/core.bin examples/fw.brn "$work/"
"$cli" --ini "$work/Isp.ini" pin >/dev/null

# One shift; with a flood, 100 streams are opened as soon as the page is
# served, and each is sent its request and never read.
shift_once() {
  local flood=$1 fds=() url='' fd i
  /usr/bin/time -f '%e %M' -o "$work/time.txt" "$cli" --ini "$work/Isp.ini" --db none --virtual-clock \
    --simulate 8 station --line "$cameras" --serve 127.0.0.1:0 >/dev/null 2>"$work/err.txt" &
  local station=$!
  if [ "$flood" = yes ]; then
    for _ in $(seq 1 200); do
      url=$(grep -o '127.0.0.1:[0-9]*' "$work/err.txt" | head -1 || true)
      [ -n "$url" ] && break
      sleep 0.01
    done
    for i in $(seq 1 100); do
      exec {fd}<>"/dev/tcp/${url%:*}/${url#*:}" 2>/dev/null || break
      printf 'GET /events HTTP/1.1\r\nHost: station\r\n\r\n' >&"$fd"
      fds+=("$fd")
    done
  fi
  wait "$station"
  for fd in "${fds[@]}"; do exec {fd}>&-; done
  echo "$(cat "$work/time.txt") ${#fds[@]}"
}

printf '%-34s %10s %14s\n' "$cameras cameras through 8 slots" "wall (s)" "peak (MiB)"
for flood in no yes; do
  best=''
  peak=0
  for _ in $(seq 1 "$runs"); do
    read -r wall kib opened < <(shift_once "$flood")
    [ "$flood" = no ] || [ "$opened" -eq 100 ] || { echo "only $opened streams opened before the shift ended" >&2; exit 1; }
    if [ -z "$best" ] || awk "BEGIN { exit !($wall < $best) }"; then best=$wall; fi
    [ "$kib" -gt "$peak" ] && peak=$kib
  done
  label=$([ "$flood" = yes ] && echo "100 streams that read nothing" || echo "undisturbed")
  printf '%-34s %10s %14.1f\n' "$label" "$best" "$(awk "BEGIN { print $peak / 1024 }")"
done
