#!/usr/bin/env bash
# Builds and runs every test, and says at the end what each stage took:
#   native   the release build (Release, with debug information) of the
#            programs and the Debian package, which lintian checks and which
#            is unpacked and run; warnings are errors in every preset and
#            only there
#   asan     every test program with AddressSanitizer and UBSan: the unit and
#            scenario tests, the whole-process tests of the command-line
#            program, and the cameras emulated below libusb under
#            umockdev-wrapper; the station's page in Debian's chromium
#            (a screenshot is kept in build/artifacts/station.png)
#   tsan     the tests of several cameras at once, of the timer threads, of
#            the station's page and of the line's forwarder, with
#            ThreadSanitizer
#   win64    the Windows build under wine64, the configuration parity of the
#            two command-line programs, a station's short simulated line,
#            and the window tests of the Windows
#            program (a screenshot is kept in build/artifacts/)
#   win32    the 32-bit Windows release, compiled only and packed as the zip
#   narrow32 the 32-bit sources once more through clang's front end, which
#            refuses unchecked narrowing to 32 bits
#   fuzz     each fuzzer, briefly
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
started=$(date +%s)
stage_names=()
stage_seconds=()
stage=''
stage_start=0
begin_stage() {
  end_stage
  stage=$1
  stage_start=$(date +%s)
  echo "== $stage"
}
end_stage() {
  [ -n "$stage" ] || return 0
  stage_names+=("$stage")
  stage_seconds+=($(($(date +%s) - stage_start)))
  stage=''
}
minutes() { printf '%d:%02d' $(($1 / 60)) $(($1 % 60)); }
report_times() {
  local status=$1
  end_stage
  echo "== time of each stage (minutes:seconds), load average now $(cut -d' ' -f1-3 /proc/loadavg)"
  local i
  for i in "${!stage_names[@]}"; do
    printf '%8s  %s\n' "$(minutes "${stage_seconds[i]}")" "${stage_names[i]}"
  done
  printf '%8s  total%s\n' "$(minutes $(($(date +%s) - started)))" "$([ "$status" -eq 0 ] || echo ', stopped by a failure')"
}
wineserver_started=''
finish() {
  report_times "$1"
  [ -z "$wineserver_started" ] || "$wineserver" -k >/dev/null 2>&1 || true
}
trap 'finish $?' EXIT

begin_stage "set-up: packages"
scripts/install-packages.sh all

# The release build makes only what the package holds: the test programs run
# in the sanitizer builds.
begin_stage "native: the release programs, the Debian package and its test, warnings as errors"
cmake --preset native >/dev/null
cmake --build --preset release -j "$jobs"
ctest --preset release

begin_stage "asan: every test program, with AddressSanitizer and UBSan"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

# Each camera's session runs on a thread of its own: the tests of several
# sessions at once, of the timer threads, of the station's page and of the
# line's forwarder run again under ThreadSanitizer
# (only the test programs they need are built).
begin_stage "tsan: several cameras at once, the timer threads, the page and the forwarder, with ThreadSanitizer"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs" --target burnbench_tests burnbench_cli_tests burnbench_station_soak \
  burnbench_web_tests burnbench_line_tests
ctest --preset tsan -j "$jobs"

# The Windows tests run in this checkout's own Wine prefix (build/wineprefix).
# One wine server for the whole run saves starting one per test. Wine's
# background services start with its first program and outlive it; started
# here with their output on /dev/null, they cannot hold the test runner's
# pipes open. Only this prefix's server is stopped at the end. Two programs
# that start Wine's desktop at the same moment can leave one of them without
# a window; under wine the tests run one at a time.
begin_stage "win64: the Windows build and its tests under wine64"
source scripts/wine-env.sh
start_lasting_wineserver
wineserver_started=yes
"$wine64" wineboot --init >/dev/null 2>&1 </dev/null || true
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$jobs"
ctest --preset win64
begin_stage "win64: configuration parity of the Linux and Windows command-line programs"
scripts/config-parity.sh
begin_stage "win64: a station's short simulated line under wine64"
scripts/wine-station-test.sh
begin_stage "win64: the Windows program's window, under wine64 and Xvfb, beside another wine server and display"
scripts/wine-isolation-test.sh

begin_stage "win32: the release programs, and the release zip"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"
(cd build/win32 && cpack -G ZIP >/dev/null)
zip=build/win32/Burnbench-$(sed -n 's/^project(Burnbench VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)-win32.zip
listing=$(cmake -E tar tf "$zip")
for file in Burnbench.exe BurnbenchDemo.exe burnbench-cli.exe examples/Isp.ini examples/fw.brn; do
  grep -qx "$file" <<<"$listing" || { echo "$zip lacks $file" >&2; exit 1; }
done

begin_stage "narrow32: 64-bit sizes narrowed to 32 bits (clang, i686)"
scripts/narrowing-check.sh

begin_stage "fuzz: each fuzzer, briefly"
scripts/fuzz.sh 20

end_stage
echo "== all test runs passed"
