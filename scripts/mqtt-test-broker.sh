#!/usr/bin/env bash
# A throw-away MQTT broker (mosquitto) for the tests, on a free loopback port.
#
#   mqtt-test-broker.sh start DIR [USER:PASSWORD] [--tls] [--persist]
#                                                   new broker in DIR; prints its port (also in DIR/port,
#                                                   its process id in DIR/pid); with USER:PASSWORD it
#                                                   takes only that user, else anyone; with --tls it
#                                                   speaks TLS only, with a certificate for 127.0.0.1
#                                                   signed by a throw-away authority in DIR/ca.pem;
#                                                   with --persist it keeps its sessions (and what
#                                                   waits for them) across stop-broker/start-broker
#   mqtt-test-broker.sh stop DIR                    stops the broker and removes DIR
#   mqtt-test-broker.sh stop-broker DIR             stops the broker, keeps DIR (a "broker away" case)
#   mqtt-test-broker.sh start-broker DIR            starts it again on the same port
#
# TCP on 127.0.0.1 only, by default no persistence: a restarted broker has
# forgotten its retained messages and sessions. As root, mosquitto would switch to the
# `mosquitto` user: the configuration keeps it root instead, so that it can
# read DIR whoever owns it.
#
# A script that starts a broker should `trap 'mqtt-test-broker.sh stop DIR' EXIT`.
set -euo pipefail

usage() {
  echo "usage: $0 start DIR [USER:PASSWORD] [--tls] [--persist] | stop DIR | stop-broker DIR | start-broker DIR" >&2
  exit 2
}

[ $# -ge 2 ] || usage
action="$1"
dir="$2"
case "$dir" in
  /*) ;;
  *) dir="$PWD/$dir" ;;
esac

broker="$(command -v mosquitto || true)"
[ -n "$broker" ] || broker=/usr/sbin/mosquitto
if [ ! -x "$broker" ]; then
  echo "mqtt-test-broker: no mosquitto (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

source "$(dirname "${BASH_SOURCE[0]}")/free-port.sh"

listening() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

write_config() {
  local port="$1"
  {
    echo "listener $port 127.0.0.1"
    # a message to a subscriber leaves at once, as a live-data broker should be set up
    echo "set_tcp_nodelay true"
    if [ -f "$dir/persist" ]; then
      # a subscriber's session outlives a restart, with no limit on what waits for it
      echo "persistence true"
      echo "persistence_location $dir/"
      echo "max_queued_messages 0"
    else
      echo "persistence false"
    fi
    echo "log_dest file $dir/broker.log"
    echo "log_type error"
    echo "log_type warning"
    echo "log_type notice"
    if [ -f "$dir/passwords" ]; then
      echo "allow_anonymous false"
      echo "password_file $dir/passwords"
    else
      echo "allow_anonymous true"
    fi
    if [ -f "$dir/server.pem" ]; then
      echo "cafile $dir/ca.pem"
      echo "certfile $dir/server.pem"
      echo "keyfile $dir/server.key"
    fi
    if [ "$(id -u)" -eq 0 ]; then
      echo "user root"
    fi
  } >"$dir/mosquitto.conf"
}

# An authority and a server certificate for 127.0.0.1, valid for a day.
make_certificates() {
  openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Test MQTT authority" \
    -keyout "$dir/ca.key" -out "$dir/ca.pem" >/dev/null 2>&1
  openssl req -newkey rsa:2048 -nodes -subj "/CN=127.0.0.1" \
    -keyout "$dir/server.key" -out "$dir/server.csr" >/dev/null 2>&1
  printf 'subjectAltName=IP:127.0.0.1\n' >"$dir/server.ext"
  openssl x509 -req -in "$dir/server.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" -CAcreateserial \
    -days 1 -extfile "$dir/server.ext" -out "$dir/server.pem" >/dev/null 2>&1
}

# Starts the broker on the port in its configuration; fails when it does not listen within 10 s.
broker_start() {
  local port="$1"
  "$broker" -c "$dir/mosquitto.conf" >>"$dir/broker.out" 2>&1 &
  local pid=$!
  echo "$pid" >"$dir/pid"
  for _ in $(seq 1 100); do
    if listening "$port"; then
      return 0
    fi
    if ! kill -0 "$pid" 2>/dev/null; then
      return 1
    fi
    sleep 0.1
  done
  return 1
}

broker_stop() {
  [ -f "$dir/pid" ] || return 0
  local pid
  pid="$(cat "$dir/pid")"
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
  fi
  rm -f "$dir/pid"
}

start() {
  [ -e "$dir" ] && { broker_stop; rm -rf "$dir"; }
  mkdir -p "$dir"
  trap 'broker_stop; rm -rf "$dir"' EXIT
  local arg
  for arg in "$@"; do
    if [ "$arg" = "--tls" ]; then
      make_certificates
    elif [ "$arg" = "--persist" ]; then
      touch "$dir/persist"
    elif [ -n "$arg" ]; then
      mosquitto_passwd -c -b "$dir/passwords" "${arg%%:*}" "${arg#*:}" >/dev/null
      chmod 600 "$dir/passwords"
    fi
  done

  local port="" tries
  for tries in 1 2 3 4 5; do
    port="$(free_port)"
    write_config "$port"
    if broker_start "$port"; then
      break
    fi
    broker_stop
    port=""
  done
  if [ -z "$port" ]; then
    echo "mqtt-test-broker: the broker did not start; its output:" >&2
    cat "$dir/broker.out" "$dir/broker.log" >&2 2>/dev/null || true
    exit 1
  fi
  echo "$port" >"$dir/port"
  trap - EXIT
  echo "$port"
}

case "$action" in
  start)
    shift 2
    start "$@"
    ;;
  stop)
    broker_stop
    rm -rf "$dir"
    ;;
  stop-broker)
    broker_stop
    ;;
  start-broker)
    [ -f "$dir/port" ] || {
      echo "mqtt-test-broker: no broker was made in $dir" >&2
      exit 1
    }
    broker_start "$(cat "$dir/port")" || {
      echo "mqtt-test-broker: the broker did not start again; its output:" >&2
      cat "$dir/broker.out" "$dir/broker.log" >&2 2>/dev/null || true
      exit 1
    }
    ;;
  *)
    usage
    ;;
esac
