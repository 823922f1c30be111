#!/usr/bin/env bash
# Installs the Debian packages that the named set needs, skipping what is there.
#   native: the Linux build and its tests (umockdev emulates cameras below libusb),
#           the manual page (help2man) and the package's check (lintian), and
#           what the station's store, the line's database server and the
#           browser test of its page need
#   all:    also the Windows cross builds, wine (and curl, which fetches the
#           Windows station's page), the fuzzers and the benchmarks
set -euo pipefail

native=(cmake ninja-build g++ googletest libgtest-dev libgmock-dev libssl-dev
        pkg-config libusb-1.0-0-dev umockdev libumockdev-dev help2man lintian man-db
        libsqlite3-dev sqlite3 libpq-dev postgresql libcpp-httplib-dev nlohmann-json3-dev
        chromium nodejs npm)
all=("${native[@]}" clang libclang-rt-14-dev libbenchmark-dev time
     g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64 xvfb imagemagick fonts-wqy-zenhei curl)

case "${1:-native}" in
  native) wanted=("${native[@]}") ;;
  all) wanted=("${all[@]}") ;;
  *) echo "usage: $0 [native|all]" >&2; exit 2 ;;
esac

# Node.js and npm may come from outside Debian (a Node.js build of its own,
# which holds npm and conflicts with Debian's npm): their commands count.
declare -A command_of=([nodejs]=node [npm]=npm)
missing=()
for package in "${wanted[@]}"; do
  if [ -n "${command_of[$package]:-}" ] && command -v "${command_of[$package]}" >/dev/null; then
    continue
  fi
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y "${missing[@]}"
fi
