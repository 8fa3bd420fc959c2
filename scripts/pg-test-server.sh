#!/usr/bin/env bash
# A throw-away PostgreSQL server for the archive tests, on a free loopback port.
#
#   pg-test-server.sh start DIR         new cluster in DIR; prints its URL (also in DIR/url):
#                                       postgresql://test@127.0.0.1:PORT/archive
#   pg-test-server.sh stop DIR          stops the server and removes DIR
#   pg-test-server.sh stop-server DIR   stops the server, keeps DIR (a "server down" case)
#   pg-test-server.sh start-server DIR  starts it again on the same port
#
# Superuser `test`, trust authentication, UTF8, TCP on 127.0.0.1 only. PostgreSQL
# refuses to run as root: as root, the cluster belongs to the `postgres` system user
# and its binaries run through runuser. Durability is switched off: the data is
# thrown away anyway.
#
# `start` over an old DIR stops whatever ran there first, and `stop` is safe on a
# half-made or missing DIR. A script that starts a server should
# `trap 'pg-test-server.sh stop DIR' EXIT` so that a failure never leaves one running;
# ctest does the same with its fixture (ArchiveServerUp / ArchiveServerDown).
#
# The cluster lives in DIR itself unless the `postgres` user cannot reach DIR or the
# socket path would be too long for a Unix socket; it then lives in a folder of its
# own under /tmp, named in DIR/cluster and removed with DIR.
set -euo pipefail

usage() {
  echo "usage: $0 start|stop|stop-server|start-server DIR" >&2
  exit 2
}

[ $# -eq 2 ] || usage
action="$1"
dir="$2"
case "$dir" in
  /*) ;;
  *) dir="$PWD/$dir" ;;
esac

bindir="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)"
if [ -z "$bindir" ] || [ ! -x "$bindir/pg_ctl" ]; then
  echo "pg-test-server: no PostgreSQL under /usr/lib/postgresql (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

as_root=0
if [ "$(id -u)" -eq 0 ]; then
  as_root=1
  if ! id postgres >/dev/null 2>&1; then
    echo "pg-test-server: running as root needs the 'postgres' system user" >&2
    exit 1
  fi
fi

# Runs a server binary as the user that owns the cluster, from a folder it can enter.
run_pg() {
  if [ "$as_root" -eq 1 ]; then
    (cd / && runuser -u postgres -- "$@")
  else
    "$@"
  fi
}

cluster_of() {
  if [ -f "$1/cluster" ]; then cat "$1/cluster"; else echo "$1"; fi
}

source "$(dirname "${BASH_SOURCE[0]}")/free-port.sh"

# Starts the cluster on port $2; fails when the server does not come up (a taken port, say).
pg_start() {
  local cluster="$1" port="$2"
  run_pg "$bindir/pg_ctl" -D "$cluster/data" -l "$cluster/log" -w -t 60 \
    -o "-p $port -k $cluster -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
    start >/dev/null
}

# Stops the server if one runs; kills it when a fast stop does not work.
pg_stop() {
  local cluster="$1"
  [ -f "$cluster/data/postmaster.pid" ] || return 0
  if ! run_pg "$bindir/pg_ctl" -D "$cluster/data" -m fast -w -t 30 stop >/dev/null 2>&1; then
    local pid
    pid="$(head -n 1 "$cluster/data/postmaster.pid" 2>/dev/null || true)"
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
      run_pg "$bindir/pg_ctl" -D "$cluster/data" -m immediate -w -t 10 stop >/dev/null 2>&1 \
        || kill -KILL "$pid" 2>/dev/null || true
    fi
  fi
}

remove_all() {
  local cluster
  cluster="$(cluster_of "$dir")"
  pg_stop "$cluster"
  [ "$cluster" = "$dir" ] || rm -rf "$cluster"
  rm -rf "$dir"
}

start() {
  [ -e "$dir" ] && remove_all
  mkdir -p "$dir"
  # A half-made cluster is never left behind.
  trap 'remove_all' EXIT

  local cluster="$dir"
  # The socket path ($cluster/.s.PGSQL.NNNNN) must fit in 107 bytes.
  if [ "${#dir}" -gt 80 ] || { [ "$as_root" -eq 1 ] && ! runuser -u postgres -- test -x "$(dirname "$dir")"; }; then
    cluster="$(mktemp -d "${TMPDIR:-/tmp}/monitor-pg-XXXXXX")"
    echo "$cluster" >"$dir/cluster"
  fi
  if [ "$as_root" -eq 1 ]; then
    chown postgres: "$cluster"
    chmod 700 "$cluster"
  fi

  run_pg "$bindir/initdb" -D "$cluster/data" -A trust -U test -E UTF8 --locale=C --no-sync \
    >"$cluster/initdb.log" 2>&1 || {
    cat "$cluster/initdb.log" >&2
    exit 1
  }

  local port="" tries
  for tries in 1 2 3 4 5; do
    port="$(free_port)"
    if pg_start "$cluster" "$port"; then
      break
    fi
    port=""
    pg_stop "$cluster"
  done
  if [ -z "$port" ]; then
    echo "pg-test-server: the server did not start; its log:" >&2
    cat "$cluster/log" >&2 || true
    exit 1
  fi
  echo "$port" >"$dir/port"

  "$bindir/psql" -X -q -h 127.0.0.1 -p "$port" -U test -d postgres -v ON_ERROR_STOP=1 \
    -c 'CREATE DATABASE archive' >/dev/null

  local url="postgresql://test@127.0.0.1:$port/archive"
  echo "$url" >"$dir/url"
  trap - EXIT
  echo "$url"
}

case "$action" in
  start)
    start
    ;;
  stop)
    remove_all
    ;;
  stop-server)
    pg_stop "$(cluster_of "$dir")"
    ;;
  start-server)
    [ -f "$dir/port" ] || {
      echo "pg-test-server: no server was made in $dir" >&2
      exit 1
    }
    pg_start "$(cluster_of "$dir")" "$(cat "$dir/port")"
    ;;
  *)
    usage
    ;;
esac
