#!/usr/bin/env bash
# Compiles every source of the 32-bit Windows build with clang's
# -Wshorten-64-to-32 as an error: a size or count held in 64 bits that is
# narrowed to 32 bits without a check does not compile. Nothing is linked (the
# release itself is the GCC build of the win32 preset).
#   scripts/narrowing-check.sh
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset narrow32 >/dev/null
objects=$(ninja -C build/narrow32 -t targets all | sed -n 's/^\(.*\.obj\): .*/\1/p')
ninja -C build/narrow32 -j "$(nproc)" $objects
