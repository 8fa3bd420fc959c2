#!/usr/bin/env bash
# The poller's archive under the faults a file meets: killed with -9 in the
# middle of its writes (the file stays whole and holds all but the last
# moment), and a file that is not an archive (refused, left as it was).
set -euo pipefail

poll="$1"; sim="$2"
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT

fail() { echo "FAILED: $*"; exit 1; }

"$sim" --port 0 --fast-clock --die-with-parent --no-channel-faults > "$work/sim.out" &
pids+=($!)
for _ in $(seq 100); do grep -q LISTENING "$work/sim.out" && break; sleep 0.1; done
port=$(awk '/LISTENING/ {print $2}' "$work/sim.out")

count() { sqlite3 "$1" 'SELECT COUNT(*) FROM cycles' 2>/dev/null || echo 0; }

# kill -9 while it writes
"$poll" --tcp "127.0.0.1:$port" --factory-number 4321 --archive "$work/a.sqlite" --log "$work/a.log" > "$work/a.out" 2>&1 &
poller=$!
pids+=($poller)
for _ in $(seq 300); do [ "$(count "$work/a.sqlite")" -ge 20 ] && break; sleep 0.1; done
[ "$(count "$work/a.sqlite")" -ge 20 ] || { cat "$work/a.out"; fail "no cycles recorded"; }
sleep 0.7
killed_at=$(date -u +%s)
kill -9 "$poller"
wait "$poller" 2>/dev/null || true
[ "$(sqlite3 "$work/a.sqlite" 'PRAGMA integrity_check')" = ok ] || fail "integrity check after kill -9"
last=$(sqlite3 "$work/a.sqlite" "SELECT strftime('%s', MAX(pc_time_utc)) FROM cycles")
[ $((killed_at - last)) -le 2 ] || fail "the last row is $((killed_at - last)) s older than the kill"
echo "kill -9: $(count "$work/a.sqlite") cycles kept, the last $((killed_at - last)) s before the kill"

# not an archive: refused, untouched, and polling goes on
printf 'Заметки наладчика\r\n' > "$work/notes.sqlite"
cp "$work/notes.sqlite" "$work/notes.copy"
set +e
"$poll" --tcp "127.0.0.1:$port" --factory-number 4321 --cycles 5 --archive "$work/notes.sqlite" --log "$work/b.log" > "$work/b.out" 2>&1
code=$?
set -e
cmp -s "$work/notes.sqlite" "$work/notes.copy" || fail "a foreign file was changed"
grep -q 'Ошибка записи архива: .*не является архивом' "$work/b.out" || { cat "$work/b.out"; fail "no refusal"; }
grep -q 'Циклов опроса: 5' "$work/b.out" || fail "polling stopped"
[ "$code" -eq 1 ] || fail "exit status $code, not 1, with every cycle lost to the archive"
echo "foreign file: refused and untouched"
