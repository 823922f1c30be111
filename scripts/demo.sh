#!/usr/bin/env bash
# Builds the command-line program and runs the sample job against the
# simulated camera: a burn with read verify, then a read-back with export, and a
# short shift of a station: 8 cameras through 4 slots on the virtual clock.
# The simulated camera keeps a real camera's pacing, so this takes about half
# a minute.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-packages.sh native
cmake --preset native >/dev/null
cmake --build --preset native --target burnbench-cli

cli=build/native/hosts/cli/burnbench-cli
work=build/demo
rm -rf "$work"
mkdir -p "$work/export"
cp examples/Isp.ini examples/param.txt examples/core.bin examples/fw.brn "$work/"
cp examples/files.ini "$work/export/"

echo "== burnbench-cli --simulate --ini $work/Isp.ini burn --verify"
"$cli" --simulate --ini "$work/Isp.ini" burn --verify
echo
echo "== burnbench-cli --simulate --ini $work/Isp.ini read $work/export --yes"
"$cli" --simulate --ini "$work/Isp.ini" read "$work/export" --yes
echo
echo "== exported files in $work/export"
find "$work/export" -type f | sort
echo
echo "== burnbench-cli --ini $work/Isp.ini pin"
"$cli" --ini "$work/Isp.ini" pin
echo
echo "== burnbench-cli --virtual-clock --simulate 4 --line 8 --ini $work/Isp.ini station"
"$cli" --virtual-clock --simulate 4 --line 8 --ini "$work/Isp.ini" station
