#!/bin/sh
# A PostgreSQL server of the tests' own: a cluster made with initdb in a
# temporary folder, its socket there, on a free loopback port. `start STATE`
# writes "FOLDER PORT BIN" into the file STATE; `stop STATE` stops that server
# (woken first, should a test have left it stopped) and removes its folder.
# The cluster belongs to the unprivileged user postgres when run as root.
set -eu

action=$1
state=$2

as_owner() {
  if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

# The processes whose parent is $1, from /proc (the name in stat may hold blanks).
children() {
  for stat in /proc/[0-9]*/stat; do
    sed -n 's/^\([0-9]*\) (.*) [A-Za-z] \([0-9]*\) .*/\1 \2/p' "$stat" 2>/dev/null
  done | awk -v parent="$1" '$2 == parent { print $1 }'
}

case "$action" in
start)
  # A server that a start before left (a repeated test run) goes first.
  "$0" stop "$state"
  bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
  dir=$(mktemp -d /tmp/burnbench-line-XXXXXX)
  chmod 755 "$dir"
  if [ "$(id -u)" = 0 ]; then chown postgres: "$dir"; fi
  as_owner "$bin/initdb" -D "$dir/data" -U postgres -E UTF8 --auth-local=trust --auth-host=scram-sha-256 \
    --no-sync >"$dir/initdb.log" 2>&1
  # Below the ports the system hands to outgoing connections: the tests stop
  # and start the server, and a client's socket that took its port meanwhile
  # would keep it from starting again.
  read -r ephemeral _ </proc/sys/net/ipv4/ip_local_port_range 2>/dev/null || ephemeral=32768
  [ "$ephemeral" -gt 11024 ] || ephemeral=32768
  tries=0
  while :; do
    tries=$((tries + 1))
    port=$(shuf -i 10000-$((ephemeral - 1)) -n 1)
    # A port that is taken makes the start fail, and another is tried; ss
    # (where it is installed) saves the try.
    if ! command -v ss >/dev/null || [ -z "$(ss -Hltn "sport = :$port")" ]; then
      {
        echo "port = $port"
        echo "listen_addresses = '127.0.0.1'"
        echo "unix_socket_directories = '$dir'"
        echo "fsync = off"
        echo "max_connections = 40"
      } >>"$dir/data/postgresql.conf"
      if as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 start >/dev/null; then break; fi
      sed -i '/^port = /d; /^listen_addresses = /d; /^unix_socket_directories = /d; /^fsync = /d; /^max_connections = /d' \
        "$dir/data/postgresql.conf"
    fi
    if [ "$tries" -ge 10 ]; then
      echo "no free port for the test server" >&2
      cat "$dir/server.log" >&2 || true
      exit 1
    fi
  done
  # The role that stations use; its password lives in the tests' PGPASSFILE.
  "$bin/psql" -q -h "$dir" -p "$port" -U postgres -d postgres \
    -c "CREATE ROLE station LOGIN PASSWORD 'line-secret'" >/dev/null
  echo "$dir $port $bin" >"$state"
  ;;
stop)
  [ -f "$state" ] || exit 0
  read -r dir port bin <"$state"
  if [ -f "$dir/data/postmaster.pid" ]; then
    pid=$(head -n 1 "$dir/data/postmaster.pid")
    kill -CONT "$pid" $(children "$pid") 2>/dev/null || true
    as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir" "$state"
  ;;
esac
