#!/usr/bin/env bash
# Warnings are errors in every preset, and only there: a build outside them
# (a distribution's, a user's) must warn but build, whatever a newer compiler
# finds to say.
#   warnings_as_errors_test.sh SOURCE_DIR
set -euo pipefail
source=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "warnings test: $*" >&2; exit 1; }
cd "$source"

presets=$(cmake --list-presets | sed -n 's/^  "\([^"]*\)".*/\1/p')
[ "$(wc -w <<<"$presets")" -ge 6 ] || fail "presets found: $presets"
for preset in $presets; do
  cmake --preset "$preset" -N -B "$scratch/$preset" 2>&1 | grep -qx '  BURNBENCH_WERROR="ON"' ||
    fail "preset $preset does not make warnings errors"
done

cmake -S . -B "$scratch/plain" -G Ninja -DCMAKE_BUILD_TYPE=Release >"$scratch/plain.log" 2>&1 ||
  { cat "$scratch/plain.log" >&2; fail "a plain Release build does not configure"; }
grep -q -- ' -Wall ' "$scratch/plain/compile_commands.json" || fail "a plain build compiles without warnings"
! grep -q -- '-Werror' "$scratch/plain/compile_commands.json" || fail "a plain build makes warnings errors"
cmake --preset native -B "$scratch/native" >"$scratch/native.log" 2>&1 ||
  { cat "$scratch/native.log" >&2; fail "the native preset does not configure"; }
grep -q -- ' -Werror ' "$scratch/native/compile_commands.json" || fail "the native preset does not pass -Werror"
echo "warnings test: errors in the $(wc -w <<<"$presets") presets, warnings in a plain build"
