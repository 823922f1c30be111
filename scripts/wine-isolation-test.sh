#!/usr/bin/env bash
# The Windows tests must share nothing with other users of wine and X on the
# machine. A bystander holds a wine server in a prefix of its own (named by
# WINEPREFIX in the environment, as another program would have it) and an X
# display; the window tests then run (scripts/gui-test.sh), and afterwards the
# bystander's server and display must still be there and its prefix must be
# untouched, while this checkout's own prefix exists.
set -euo pipefail
cd "$(dirname "$0")/.."

bystander=$(mktemp -d)
displayfile=$(mktemp)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$bystander" "$displayfile"
}
trap cleanup EXIT

WINEPREFIX=$bystander /usr/lib/wine/wineserver -f -p >/dev/null 2>&1 &
pids+=($!)
server=$!
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
pids+=($!)
xvfb=$!
for _ in $(seq 100); do
  [ -s "$displayfile" ] && break
  sleep 0.1
done

status=0
WINEPREFIX=$bystander DISPLAY=":$(tr -d '[:space:]' < "$displayfile")" scripts/gui-test.sh || status=$?

failed=0
check() {
  if ! eval "$2"; then
    echo "wine isolation: $1" >&2
    failed=1
  fi
}
check "the other prefix's wine server was stopped" 'kill -0 "$server" 2>/dev/null'
check "the other X display was stopped" 'kill -0 "$xvfb" 2>/dev/null'
check "the tests set up the other prefix" '[ ! -e "$bystander/drive_c" ]'
check "the tests did not set up build/wineprefix" '[ -f build/wineprefix/.burnbench-ready ]'
[ "$failed" -eq 0 ] && [ "$status" -eq 0 ] && echo "wine isolation: window tests passed beside another wine server and display"
[ "$status" -eq 0 ] || exit "$status"
exit "$failed"
