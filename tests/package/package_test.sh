#!/usr/bin/env bash
# Makes the Debian package of a build, has lintian check it as Debian checks
# its own (no error, no warning), unpacks it into a scratch folder and runs
# the program it holds: its version, an offline convert of a raw image that
# the packaged program read back from its own simulated camera, its manual
# page and bash completion beside its --help, and where it finds Isp.ini once
# installed.
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
lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$scratch/lintian.log" 2>&1 ||
  { cat "$scratch/lintian.log" >&2; fail "lintian finds errors or warnings"; }

root=$scratch/root
dpkg-deb -x "$deb" "$root"
for file in usr/bin/burnbench-cli usr/share/burnbench/70-burnbench.rules.in \
            usr/share/burnbench/examples/Isp.ini usr/share/burnbench/examples/fw.brn \
            usr/share/doc/burnbench-cli/README.md usr/share/man/man1/burnbench-cli.1.gz \
            usr/share/bash-completion/completions/burnbench-cli; do
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

# The manual page holds every command and option of --help, word for word.
"$cli" --help >"$scratch/help.txt"
MANWIDTH=200 man -E ascii -l "$root/usr/share/man/man1/burnbench-cli.1.gz" 2>/dev/null | tr -s ' ' >"$scratch/manual.txt"
names=$(sed -n 's/^  \([a-z-][a-z-]*\).*/\1/p' "$scratch/help.txt")
[ "$(wc -w <<<"$names")" -ge 30 ] || fail "--help lists only: $names"
for name in $names; do
  grep -qE -- "(^| )$name( |$)" "$scratch/manual.txt" || fail "the manual page lacks $name"
done
description=$(sed -n 's/^  --ini PATH  *//p' "$scratch/help.txt" | tr -s ' ')
grep -qF -- "$description" "$scratch/manual.txt" || fail "the manual page's --ini is not --help's"

# Bash completes the commands and options of --help, and what an option takes.
completions=$(
  source "$root/usr/share/bash-completion/completions/burnbench-cli"
  cd "$job"
  complete_line() {
    COMP_WORDS=(burnbench-cli "$@") COMP_CWORD=$#
    _burnbench_cli "$cli"
    echo "$* => $(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//')"
  }
  complete_line ''
  complete_line --
  complete_line --chip ''
  complete_line --simulate 2 --mode ''
  complete_line --ini Isp.ini bu
  complete_line read ''
  complete_line --ini f
)
expect_completion() {
  grep -qxF -- "$1" <<<"$completions" || fail "completion: expected '$1' in: $completions"
}
expect_completion " => burn compare config convert devices export forward history legacy line-setup pin read recording replay station udev-rule versions"
expect_completion "-- => $(grep -o '^  --[a-z-]*' "$scratch/help.txt" | tr -d ' ' | sort | tr '\n' ' ' | sed 's/ $//')"
expect_completion "--chip  => 611 616 618"
expect_completion "--simulate 2 --mode  => mask normal"
expect_completion "--ini Isp.ini bu => burn"
expect_completion "read  => "
expect_completion "--ini f => files.ini fw.brn fw.brn.raw fw.brn.raw.brn"
for command in $(grep -m1 '^ => ' <<<"$completions" | cut -c5-); do
  "$cli" "$command" 2>&1 | grep -q "unknown command" && fail "completion offers $command, which the program refuses"
done

# Installed (PREFIX/bin beside PREFIX/share/burnbench), the program reads
# ./Isp.ini, then $XDG_CONFIG_HOME/burnbench/Isp.ini (by default in
# ~/.config), and names the file it read; a copy of the program in a folder of
# its own reads the Isp.ini beside it.
config_file() {
  (cd "$1" && shift && env "$@" config 2>&1 >/dev/null) | sed -n 's/^burnbench-cli: configuration file //p'
}
home=$scratch/home
mkdir -p "$home/.config/burnbench" "$scratch/xdg/burnbench" "$scratch/elsewhere" "$scratch/portable"
cp "$job/Isp.ini" "$home/.config/burnbench/Isp.ini"
cp "$job/Isp.ini" "$scratch/xdg/burnbench/Isp.ini"
[ "$(config_file "$job" HOME="$home" XDG_CONFIG_HOME="$scratch/xdg" "$cli")" = "$job/Isp.ini" ] ||
  fail "the installed program does not read ./Isp.ini first"
[ "$(config_file "$scratch/elsewhere" HOME="$home" XDG_CONFIG_HOME="$scratch/xdg" "$cli")" = "$scratch/xdg/burnbench/Isp.ini" ] ||
  fail "the installed program does not read \$XDG_CONFIG_HOME/burnbench/Isp.ini"
[ "$(config_file "$scratch/elsewhere" HOME="$home" XDG_CONFIG_HOME= "$cli")" = "$home/.config/burnbench/Isp.ini" ] ||
  fail "the installed program does not read ~/.config/burnbench/Isp.ini"
cp "$cli" "$scratch/portable/"
cp "$job/Isp.ini" "$scratch/portable/"
[ "$(config_file "$job" HOME="$home" "$scratch/portable/burnbench-cli")" = "$scratch/portable/Isp.ini" ] ||
  fail "a copy of the program in a folder of its own does not read the Isp.ini beside it"
if [ ! -e /etc/burnbench/Isp.ini ]; then
  rm "$home/.config/burnbench/Isp.ini"
  refused=$(cd "$scratch/elsewhere" && HOME="$home" XDG_CONFIG_HOME= "$cli" config 2>&1 >/dev/null || true)
  [ "$refused" = "burnbench-cli: cannot read $home/.config/burnbench/Isp.ini" ] ||
    fail "without any Isp.ini, the user's is not named: $refused"
fi
echo "package test: $(basename "$deb") passes lintian and installs a working burnbench-cli"
