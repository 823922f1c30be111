#!/usr/bin/env bash
# Builds and runs every test: native, with AddressSanitizer and UBSan (both
# with the cameras emulated below libusb under umockdev-wrapper and, natively,
# the Debian package unpacked and run), the tests of several cameras at once
# and of the timer threads with ThreadSanitizer, and the Windows build under
# wine64 with the window tests of the Windows program (a screenshot is kept in
# build/artifacts/); the 32-bit Windows build is compiled only, packed as the
# release zip, and compiled once more with clang to refuse unchecked narrowing
# to 32 bits; then each fuzzer runs briefly.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-packages.sh all

jobs=$(nproc)
run_preset() {
  echo "== $1"
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$jobs"
  case "${2:-test}" in
    test) ctest --preset "$1" -j "$jobs" ;;
    # Two programs that start Wine's desktop at the same moment can leave one
    # of them without a window; under wine the tests run one at a time.
    serial) ctest --preset "$1" ;;
  esac
}

run_preset native
run_preset asan

# Each camera's session runs on a thread of its own: the tests of several
# sessions at once, and of the timer threads, run again under ThreadSanitizer
# (only the test programs they need are built).
echo "== tsan"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs" --target burnbench_tests burnbench_cli_tests
ctest --preset tsan -j "$jobs"

# The Windows tests run in this checkout's own Wine prefix (build/wineprefix).
# One wine server for the whole run saves starting one per test. Wine's
# background services start with its first program and outlive it; started
# here with their output on /dev/null, they cannot hold the test runner's
# pipes open. Only this prefix's server is stopped at the end.
source scripts/wine-env.sh
ensure_wine_prefix
"$wineserver" -p >/dev/null 2>&1 &
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
"$wine64" wineboot --init >/dev/null 2>&1 </dev/null || true
run_preset win64 serial
scripts/config-parity.sh
echo "== the Windows program's window, under wine64 and Xvfb, beside another wine server and display"
scripts/wine-isolation-test.sh
run_preset win32 build-only
echo "== the Windows release zip"
(cd build/win32 && cpack -G ZIP >/dev/null)
zip=build/win32/Burnbench-$(sed -n 's/^project(Burnbench VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)-win32.zip
listing=$(cmake -E tar tf "$zip")
for file in Burnbench.exe BurnbenchDemo.exe burnbench-cli.exe examples/Isp.ini examples/fw.brn; do
  grep -qx "$file" <<<"$listing" || { echo "$zip lacks $file" >&2; exit 1; }
done
echo "== 64-bit sizes narrowed to 32 bits (clang, i686)"
scripts/narrowing-check.sh

echo "== fuzzers, briefly"
scripts/fuzz.sh 20

echo "== all test runs passed"
