#!/usr/bin/env bash
# The archive tool on an archive the poller wrote from the simulator: info,
# both exports, check; files that are no archive refused and left as they
# were; a failed export leaving the old CSV in place.
set -euo pipefail
trap 'echo "failed at line $LINENO: $BASH_COMMAND"' ERR
tool="$1"; poll="$2"; sim="$3"
work="$(mktemp -d)"
sim_pid=""
trap 'kill -KILL $sim_pid 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
export LC_ALL=C # the decimal mark is the system's: "."

"$sim" --port 0 --fast-clock --die-with-parent > "$work/sim.out" &
sim_pid=$!
for _ in $(seq 100); do grep -q LISTENING "$work/sim.out" && break; sleep 0.1; done
port="$(awk '/LISTENING/ {print $2}' "$work/sim.out")"
"$poll" --tcp "127.0.0.1:$port" --factory-number 4321 --cycles 20 --archive "$work/a.sqlite" \
  --log "$work/poll.log" > "$work/poll.txt" || { cat "$work/poll.txt"; exit 1; }

"$tool" info "$work/a.sqlite" > "$work/info.txt"
grep -q '^Счетчик 1: dtM7SQ, заводской номер 4321, адрес 1, ' "$work/info.txt"
grep -q '^  циклов: 20, 10-минутных строк: [12], время счетчика: ....-..-.. ..:..:.. – ' "$work/info.txt"
grep -q '^Версия схемы: 1$' "$work/info.txt"
grep -q '^Строк пределов: 1$' "$work/info.txt"

# Cycles: a header of the archive's names, 20 rows, numbers in the snapshot's
# form, ";" after each cell, CR LF.
"$tool" export "$work/a.sqlite" --meter 1 --from 2000-01-01 --to 2100-01-01T00:00:00 --csv "$work/c.csv" > /dev/null
[ "$(wc -l < "$work/c.csv")" -eq 21 ]
[ "$(grep -c $'\r$' "$work/c.csv")" -eq 21 ]
head -n 1 "$work/c.csv" | grep -q $'^meter_time;pc_time_utc;Urms_a;Urms_b;.*;I1seq;I2;\r$'
sed -n 2p "$work/c.csv" | grep -qE '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8};[0-9-]{10} [0-9:]{8};[0-9]+\.[0-9]+;'
urms="$(sed -n 2p "$work/c.csv" | cut -d';' -f3)"
[[ "$urms" =~ ^[0-9]+\.[0-9]{1,13}$ && ${#urms} -le 16 ]] || { echo "Urms_a is $urms"; exit 1; }
# an empty range is a header alone
"$tool" export "$work/a.sqlite" --meter 1 --to 2000-01-01 --csv "$work/none.csv" > /dev/null
[ "$(wc -l < "$work/none.csv")" -eq 1 ]

# 10-minute rows: the same count info gave, with values_count and flags
rows="$(sed -n 's/.*10-минутных строк: \([0-9]*\),.*/\1/p' "$work/info.txt")"
"$tool" export "$work/a.sqlite" --meter 1 --aggregates --csv "$work/g.csv" > /dev/null
[ "$(wc -l < "$work/g.csv")" -eq $((rows + 1)) ]
head -n 1 "$work/g.csv" | grep -q '^interval_start;values_count;flags;Urms_a_avg;Urms_a_min;Urms_a_max;'
sed -n 2p "$work/g.csv" | grep -qE '^[0-9-]{10} [0-9]{2}:[0-5]0:00;[0-9]+;[0-7];[0-9]+\.[0-9]+;'

"$tool" check "$work/a.sqlite" > "$work/check.txt"
[ "$(cat "$work/check.txt")" = ok ]

# Not archives: a text file and an SQLite file of another program. One
# Russian line, exit 1, the files as they were.
printf 'meter;value\r\n1;2\r\n' > "$work/text.sqlite"
python3 -c 'import sqlite3, sys; c = sqlite3.connect(sys.argv[1]); c.execute("CREATE TABLE notes (x)"); c.commit()' \
  "$work/other.sqlite"
for foreign in text other; do
  cp "$work/$foreign.sqlite" "$work/$foreign.copy"
  for command in check info; do
    status=0
    "$tool" "$command" "$work/$foreign.sqlite" > "$work/out" 2> "$work/err" || status=$?
    [ "$status" -eq 1 ] || { echo "$command $foreign: exit $status"; exit 1; }
    grep -q 'не является архивом измерений' "$work/err"
    [ "$(wc -l < "$work/err")" -eq 1 ] || { echo "$command $foreign said:"; cat "$work/err"; exit 1; }
  done
  cmp "$work/$foreign.sqlite" "$work/$foreign.copy"
done
[ -z "$(ls "$work" | grep -E '^(text|other)\.sqlite-')" ] # no journal left beside them

status=0; "$tool" frobnicate "$work/a.sqlite" 2> /dev/null || status=$?; [ "$status" -eq 2 ]
status=0; "$tool" export "$work/a.sqlite" --meter 1 --csv "$work/x.txt" 2> /dev/null || status=$?; [ "$status" -eq 2 ]

# An export into a folder that takes no files leaves the old CSV alone, even
# though the file itself could be written over (root writes anywhere: it runs
# as nobody there).
mkdir "$work/locked"
printf 'old;\r\n' > "$work/locked/c.csv"
cp "$work/locked/c.csv" "$work/old.csv"
chmod 755 "$work"; chmod a+r "$work/a.sqlite"; chmod 666 "$work/locked/c.csv"; chmod 555 "$work/locked"
as_user=()
[ "$(id -u)" -ne 0 ] || as_user=(runuser -u nobody --)
status=0
"${as_user[@]}" "$tool" export "$work/a.sqlite" --meter 1 --csv "$work/locked/c.csv" > /dev/null 2> "$work/err" ||
  status=$?
[ "$status" -eq 1 ] || { echo "export into a locked folder: exit $status"; exit 1; }
grep -q "^Ошибка при сохранении в: $work/locked/c.csv (" "$work/err"
cmp "$work/locked/c.csv" "$work/old.csv"
[ "$(ls -A "$work/locked")" = c.csv ]
chmod 755 "$work/locked"
echo "archive tool: all checks passed"
