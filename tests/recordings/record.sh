#!/usr/bin/env bash
# Makes the recordings of simulated faults that the tests replay: each one a
# burn with read verify of the sample job, recorded on the virtual clock, with
# the log the run printed beside it (NAME.bbrec, NAME.out).
#   tests/recordings/record.sh BURNBENCH_CLI
# (cmake --build build/native --target recordings runs it.) Make them again
# when the tool's conversation with the camera changes on purpose.
set -euo pipefail
cli=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here/../../examples/"{Isp.ini,param.txt,core.bin,fw.brn} "$work/"
cd "$work"
for fault in busy no-storage stalled-read; do
  status=0
  "$cli" --record "$fault.bbrec" --simulate --virtual-clock --fault "$fault" --ini Isp.ini \
    burn --verify >"$fault.out" 2>/dev/null || status=$?
  echo "$fault: exit status $status"
  cp "$fault.bbrec" "$fault.out" "$here/"
done
