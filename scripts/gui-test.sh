#!/usr/bin/env bash
# Runs the window tests of the Windows program under wine64 on a virtual
# display, and keeps a screenshot of the main window after a burn in
# build/artifacts/main-window.png. Uses the win64 preset's build unless
# BURNBENCH_WIN64_BUILD names another build folder of the same kind.
# Runs in this checkout's own Wine prefix on a display that no one else uses,
# so other programs that use wine or X on the machine neither disturb it nor
# are disturbed by it.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BURNBENCH_WIN64_BUILD:-build/win64}
if [ -z "${BURNBENCH_WIN64_BUILD:-}" ]; then
  cmake --preset win64 >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target burnbench_gui_tests

source scripts/wine-env.sh
ensure_wine_prefix
artifacts=build/artifacts
handshake=$artifacts/.screenshot
rm -rf "$handshake" "$artifacts/main-window.png"
mkdir -p "$handshake"

# Xvfb picks a display number that is free and tells it through the file; no
# fixed number can collide with another server.
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
cleanup() {
  # Wine's desktop of this prefix is bound to our display; it goes with it.
  "$wineserver" -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  rm -f "$displayfile"
}
trap cleanup EXIT
for _ in $(seq 100); do
  [ -s "$displayfile" ] && break
  sleep 0.1
done
if [ ! -s "$displayfile" ]; then
  echo "gui-test: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$(tr -d '[:space:]' < "$displayfile")"

# Wine's desktop binds to the display its services first saw, so this
# prefix's services are started afresh on this one. They outlive this script
# and must not hold its output open, or a reader of the output would wait
# forever.
"$wineserver" -k >/dev/null 2>&1 || true
"$wineserver" -w >/dev/null 2>&1 || true
"$wineserver" -p >/dev/null 2>&1 || true

# The dialogs ask for the font "宋体", which Wine does not have; the CJK font
# from fonts-wqy-zenhei stands in, so the Chinese captions show.
LC_ALL=C.UTF-8 "$wine64" reg add 'HKCU\Software\Wine\Fonts\Replacements' \
  /v '宋体' /d 'WenQuanYi Zen Hei' /f >/dev/null 2>&1

# The burn test waits after its burn until the screenshot has been taken.
export BURNBENCH_SHOT_DIR="Z:$(pwd)/$handshake"
# The recording test leaves the window's recording of its burn here.
recording=$artifacts/window-burn.bbrec
rm -f "$recording"
export BURNBENCH_RECORDING_OUT="Z:$(pwd)/$recording"
"$wine64" "$build/tests/gui/burnbench_gui_tests.exe" &
tests=$!
while kill -0 "$tests" 2>/dev/null; do
  if [ -f "$handshake/ready" ]; then
    import -window root "$artifacts/main-window.png"
    touch "$handshake/taken"
    break
  fi
  sleep 0.2
done
status=0
wait "$tests" || status=$?
rm -rf "$handshake"

if [ ! -f "$artifacts/main-window.png" ]; then
  echo "gui-test: no screenshot of the main window was taken" >&2
  status=1
fi

# The command-line program replays the window's recording on Linux, against a
# copy of the sample job.
if [ -f "$recording" ]; then
  cmake --preset native >/dev/null
  cmake --build --preset native --target burnbench-cli >/dev/null
  job=$(mktemp -d)
  cp examples/* "$job/"
  if ! build/native/hosts/cli/burnbench-cli --ini "$job/Isp.ini" replay "$recording" >"$job/replay.out" ||
      [ "$(tail -n 1 "$job/replay.out")" != "Read Verify Success !!!" ]; then
    echo "gui-test: the window's recording does not replay on Linux" >&2
    status=1
  fi
  rm -rf "$job"
else
  echo "gui-test: the window left no recording" >&2
  status=1
fi
exit "$status"
