#!/usr/bin/env bash
# Compiles every source of the 32-bit Windows build with clang's
# -Wshorten-64-to-32 as an error: a size or count held in 64 bits that is
# narrowed to 32 bits without a check does not compile. The warning comes from
# clang's front end, so the sources go only through that (-fsyntax-only): no
# code is made, nothing linked (the release itself is the GCC build of the
# win32 preset).
#   scripts/narrowing-check.sh
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset narrow32 >/dev/null
build=build/narrow32
objects=$(ninja -C "$build" -t targets all | sed -n 's/^\(.*\.c\(pp\)\?\.obj\): .*/\1/p')
[ -n "$objects" ] || { echo "narrowing check: no sources found in $build" >&2; exit 1; }
# shellcheck disable=SC2086
# A compiler launcher (ccache) may stand before clang; it passes -fsyntax-only on.
ninja -C "$build" -t commands $objects | grep -E '^([^ ]*ccache )?[^ ]*clang' >"$build/check-commands.txt" || true
count=$(wc -l <"$build/check-commands.txt")
[ "$count" -eq "$(wc -w <<<"$objects")" ] || { echo "narrowing check: $count commands for $(wc -w <<<"$objects") sources" >&2; exit 1; }
(cd "$build" && tr '\n' '\0' <check-commands.txt | xargs -0 -P "$(nproc)" -I{} sh -c '{} -fsyntax-only')
echo "narrowing check: $count sources compiled without a narrowing"
