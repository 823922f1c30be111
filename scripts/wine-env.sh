# Sourced by the scripts that run Windows programs: they all use this
# checkout's own Wine prefix, build/wineprefix, so that nothing else on the
# machine that uses wine can disturb them, and they disturb nothing else (a
# wine server belongs to one prefix; killing ours touches no other program).
wine_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="$wine_root/build/wineprefix"
export WINEDEBUG=${WINEDEBUG:--all}
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

# Creates the prefix on first use. Several tests may start at once: one of
# them creates it while the others wait. The lock is released before wine
# runs (-o), or its server, which outlives wineboot, would keep holding it.
# Wine's services started here have no terminal or pipe to hold open. The
# mark is written once wineboot is through: wine writes its registry files
# only later, so they tell nothing.
ensure_wine_prefix() {
  local ready="$WINEPREFIX/.burnbench-ready"
  [ -f "$ready" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  flock -o "$WINEPREFIX.lock" bash -c \
    '[ -f "$1" ] || { "$0" wineboot --init && touch "$1"; }' "$wine64" "$ready" \
    </dev/null >/dev/null 2>&1 || true
  [ -f "$ready" ] || { echo "wine: cannot create the prefix $WINEPREFIX" >&2; return 1; }
}

# One wine server for this prefix that stays until it is stopped, so that each
# test program does not start a server and Wine's services of its own. A
# server that wineboot started (the prefix's creation) ends only when it is
# idle; until it has, a new server cannot take the prefix, so wait for it.
start_lasting_wineserver() {
  ensure_wine_prefix
  "$wineserver" -w >/dev/null 2>&1 </dev/null || true
  "$wineserver" -p >/dev/null 2>&1 </dev/null || true
}
