#!/usr/bin/env bash
# Runs the window tests of the Windows program under wine64 on a virtual
# display, and keeps a screenshot of the main window after a burn in
# build/artifacts/main-window.png. Uses the win64 preset's build unless
# BURNBENCH_WIN64_BUILD names another build folder of the same kind.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BURNBENCH_WIN64_BUILD:-build/win64}
if [ -z "${BURNBENCH_WIN64_BUILD:-}" ]; then
  cmake --preset win64 >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target burnbench_gui_tests

wine=/usr/lib/wine/wine64
artifacts=build/artifacts
handshake=$artifacts/.screenshot
rm -rf "$handshake" "$artifacts/main-window.png"
mkdir -p "$handshake"

export WINEDEBUG=-all
export DISPLAY=:90
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [ -S /tmp/.X11-unix/X90 ] && break
  sleep 0.1
done
# Wine's desktop binds to the display its services first saw, so they are
# started afresh on this one. They outlive this script and must not hold its
# output open, or a reader of the output would wait forever.
/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -w >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -p >/dev/null 2>&1 || true

# The dialogs ask for the font "宋体", which Wine does not have; the CJK font
# from fonts-wqy-zenhei stands in, so the Chinese captions show.
LC_ALL=C.UTF-8 "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' \
  /v '宋体' /d 'WenQuanYi Zen Hei' /f >/dev/null 2>&1

# The burn test waits after its burn until the screenshot has been taken.
export BURNBENCH_SHOT_DIR="Z:$(pwd)/$handshake"
"$wine" "$build/tests/gui/burnbench_gui_tests.exe" &
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
exit "$status"
