#!/usr/bin/env bash
# Makes the Debian package of a build, unpacks it into a scratch folder and
# runs the program it holds: its version, and an offline convert of a raw
# image that the packaged program read back from its own simulated camera.
#   package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$scratch/out" >"$scratch/cpack.log") || { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
debs=("$scratch"/out/burnbench-cli_"$version"_*.deb)
[ -f "${debs[0]}" ] || fail "no package burnbench-cli_${version}_*.deb"
deb=${debs[0]}
[ "$(dpkg-deb -f "$deb" Package)" = burnbench-cli ] || fail "wrong package name"
dpkg-deb -f "$deb" Depends | grep -q 'libusb-1.0-0' || fail "libusb is not among the dependencies"

root=$scratch/root
dpkg-deb -x "$deb" "$root"
for file in usr/bin/burnbench-cli usr/share/burnbench/70-burnbench.rules.in \
            usr/share/burnbench/examples/Isp.ini usr/share/burnbench/examples/fw.brn \
            usr/share/doc/burnbench-cli/README.md; do
  [ -f "$root/$file" ] || fail "$file is missing"
done
cli=$root/usr/bin/burnbench-cli

[ "$("$cli" --version)" = "burnbench-cli $version" ] || fail "--version says $("$cli" --version)"

job=$scratch/job
cp -r "$root/usr/share/burnbench/examples" "$job"
"$cli" --simulate --virtual-clock --ini "$job/Isp.ini" burn --verify >"$scratch/burn.log" 2>&1 ||
  { cat "$scratch/burn.log" >&2; fail "the simulated burn failed"; }
[ -s "$job/fw.brn.raw" ] || fail "no raw image was read back"
"$cli" --ini "$job/Isp.ini" convert "$job/fw.brn.raw" "$job/again.brn" >"$scratch/convert.log" 2>&1 ||
  { cat "$scratch/convert.log" >&2; fail "convert failed"; }
cmp "$job/again.brn" "$job/fw.brn" || fail "the converted image differs from the burned firmware"
echo "package test: $(basename "$deb") installs a working burnbench-cli"
