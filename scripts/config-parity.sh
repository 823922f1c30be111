#!/usr/bin/env bash
# The Linux and the Windows command-line programs must understand every
# configuration file alike: ours reads INI files itself, the Windows build
# through the Windows profile functions. Runs `config` on each fixture in both
# builds (the Windows one under wine64) and compares the outputs, with the
# fixture's folder written the same way in both. Wine runs in this
# checkout's own prefix (scripts/wine-env.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh
ensure_wine_prefix

native=build/native/hosts/cli/burnbench-cli
windows=build/win64/hosts/cli/burnbench-cli.exe
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=0
for fixture in tests/fixtures/config/*.ini; do
  cp "$fixture" "$work/Isp.ini"
  "$native" config --ini "$work/Isp.ini" | sed "s|$work/|<folder>/|g" > "$work/native.txt"
  winpath="Z:$(echo "$work" | tr '/' '\\')"
  "$wine64" "$windows" config --ini "$winpath\\Isp.ini" | tr -d '\r' \
    | sed "s|$(printf '%s' "$winpath" | sed 's|\\|\\\\|g')\\\\|<folder>/|g" > "$work/windows.txt"
  if ! diff -u "$work/windows.txt" "$work/native.txt" > "$work/diff.txt"; then
    echo "config differs for $fixture:"
    cat "$work/diff.txt"
    failed=1
  fi
done
[ "$failed" -eq 0 ] && echo "config parity: $(ls tests/fixtures/config/*.ini | wc -l) files read alike by both builds"
exit "$failed"
