#!/usr/bin/env bash
# Takes cpp-httplib's whole single header again from Debian's source package
# of the version that libcpp-httplib-dev has on this machine, patches
# applied, into third_party/cpp-httplib/ (the Windows builds use it; Linux
# links Debian's library). apt's own lists and the system's sources are left
# as they are: the source index goes into a scratch folder.
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(dpkg-query -W -f='${Version}' libcpp-httplib-dev)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/lists/partial" "$scratch/cache/archives/partial"
cat >"$scratch/sources.list" <<SOURCES
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian-security bookworm-security main
SOURCES
apt=(apt-get -o "Dir::Etc::SourceList=$scratch/sources.list" -o Dir::Etc::SourceParts=/nonexistent
     -o "Dir::State::Lists=$scratch/lists" -o "Dir::Cache=$scratch/cache" -o Debug::NoLocking=1)
"${apt[@]}" update >/dev/null
(cd "$scratch" && "${apt[@]}" source --download-only "cpp-httplib=$version" >/dev/null &&
 dpkg-source -x cpp-httplib_*.dsc src >/dev/null)
cp "$scratch/src/httplib.h" "$scratch/src/LICENSE" third_party/cpp-httplib/
grep -m1 CPPHTTPLIB_VERSION third_party/cpp-httplib/httplib.h
echo "third_party/cpp-httplib/httplib.h is cpp-httplib $version; update its README if the version changed"
