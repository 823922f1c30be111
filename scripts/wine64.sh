#!/usr/bin/env bash
# Runs a 64-bit Windows test program under wine in this checkout's own prefix
# (scripts/wine-env.sh). The Windows builds use it to run their tests.
#
# Now and then wine fails to start a program at all: it ends at once with an
# exit code and not a byte of output (seen once in a CI run, 0.04 s). A test
# program always prints before it can fail (Google Test names each test before
# running it), so a failure without any output is wine's, not the test's: it
# is said on standard error and the program is started once more.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
ensure_wine_prefix

# The output is kept in files and passed on when the program ends: through a
# pipe, Wine's services, which the first program starts and which outlive it,
# would hold the pipe open and the run would never end.
outputs=$(mktemp -d)
trap 'rm -rf "$outputs"' EXIT
run_once() {
  local status=0
  "$wine64" "$@" >"$outputs/out" 2>"$outputs/err" || status=$?
  cat "$outputs/out"
  cat "$outputs/err" >&2
  return "$status"
}

status=0
run_once "$@" || status=$?
if [ "$status" -ne 0 ] && [ ! -s "$outputs/out" ] && [ ! -s "$outputs/err" ]; then
  echo "wine ended $1 with exit code $status before it printed anything; starting it once more" >&2
  status=0
  run_once "$@" || status=$?
fi
exit "$status"
