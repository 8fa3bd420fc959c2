#!/usr/bin/env bash
# The archive URL's libpq parameters reach the server connection: against a
# server of its own with TLS (a throw-away certificate authority made here),
# verify-full connects with the right CA and host name and is refused with a
# wrong one; sslmode=require is refused by a server without TLS; an unknown
# parameter is a usage error.
set -euo pipefail
trap 'echo "failed at line $LINENO: $BASH_COMMAND"' ERR
tool="$1"; poll="$2"; sim="$3"
scripts="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd)"
work="$(mktemp -d)"
chmod 755 "$work"
sim_pid=""
trap 'kill -KILL $sim_pid 2>/dev/null; wait 2>/dev/null; bash "$scripts/pg-test-server.sh" stop "$work/pg" >/dev/null 2>&1; rm -rf "$work"' EXIT
export LC_ALL=C

url="$(bash "$scripts/pg-test-server.sh" start "$work/pg")"
port="$(sed -E 's|.*:([0-9]+)/.*|\1|' <<<"$url")"
cluster="$work/pg"
[ -f "$work/pg/cluster" ] && cluster="$(cat "$work/pg/cluster")"

# An archive with two cycles, written without TLS.
"$sim" --port 0 --fast-clock --die-with-parent > "$work/sim.out" &
sim_pid=$!
for _ in $(seq 100); do grep -q LISTENING "$work/sim.out" && break; sleep 0.1; done
sim_port="$(awk '/LISTENING/ {print $2}' "$work/sim.out")"
"$poll" --tcp "127.0.0.1:$sim_port" --factory-number 4321 --cycles 2 --archive "$url" --log "$work/poll.log" > "$work/poll.txt" \
  || { cat "$work/poll.txt"; exit 1; }

# No TLS on the server: require is refused, never sent in plain text.
if "$tool" info "$url?sslmode=require" > "$work/out" 2> "$work/err"; then exit 1; fi
grep -qi 'ssl' "$work/err" || { cat "$work/err"; exit 1; }
# A key libpq does not have, or a value it cannot take, is a usage error.
status=0
"$tool" info "$url?sslmod=require" > /dev/null 2> "$work/err" || status=$?
[ "$status" -eq 2 ] && grep -q 'sslmod' "$work/err"

# The authority, another one, and the server's certificate for "localhost" only.
ssl() { openssl "$@" 2>/dev/null; }
ssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/ca.key" -out "$work/ca.crt" -days 2 -subj "/CN=Test archive CA"
ssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/other.key" -out "$work/other.crt" -days 2 -subj "/CN=Other CA"
ssl req -newkey rsa:2048 -nodes -keyout "$work/server.key" -out "$work/server.csr" -subj "/CN=localhost"
printf 'subjectAltName=DNS:localhost\n' > "$work/san"
ssl x509 -req -in "$work/server.csr" -CA "$work/ca.crt" -CAkey "$work/ca.key" -CAcreateserial \
  -out "$work/server.crt" -days 2 -extfile "$work/san"
install -m 600 "$work/server.crt" "$work/server.key" "$cluster/data/"
[ "$(id -u)" -eq 0 ] && chown postgres "$cluster/data/server.crt" "$cluster/data/server.key"
echo "ssl = on" >> "$cluster/data/postgresql.conf"
bash "$scripts/pg-test-server.sh" stop-server "$work/pg"
bash "$scripts/pg-test-server.sh" start-server "$work/pg" > /dev/null

at() { echo "postgresql://test@$1:$port/archive?sslmode=verify-full&sslrootcert=$2"; }
"$tool" info "$(at localhost "$work/ca.crt")" > "$work/out"
grep -q '^Счетчик 1: ' "$work/out"
grep -q 'sslmode=verify-full' "$work/out"
# the name the certificate does not carry
if "$tool" info "$(at 127.0.0.1 "$work/ca.crt")" > /dev/null 2> "$work/err"; then exit 1; fi
grep -q 'does not match host name' "$work/err" || { cat "$work/err"; exit 1; }
# an authority that did not sign it
if "$tool" info "$(at localhost "$work/other.crt")" > /dev/null 2> "$work/err"; then exit 1; fi
grep -q 'certificate verify failed' "$work/err" || { cat "$work/err"; exit 1; }
cat "$work/out"
echo "archive TLS: ok"
