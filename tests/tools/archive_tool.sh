#!/usr/bin/env bash
# The archive tool on an archive the poller wrote from the simulator: info,
# both exports, check; files that are no archive refused and left as they
# were; a failed export leaving the old CSV in place; an archive edited by
# hand into formulas and escape sequences; the archive named by an INI file.
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
grep -q '^Размер: [0-9]*,[0-9][0-9] МБ$' "$work/info.txt"

# Cycles: a header of the archive's names, 20 rows, the numbers as the meter
# gave them, ";" after each cell, CR LF; the tool names the file and its rows.
"$tool" export "$work/a.sqlite" --meter 1 --from 2000-01-01 --to 2100-01-01T00:00:00 --csv "$work/c.csv" > "$work/said"
[ "$(cat "$work/said")" = "Записан файл: $work/c.csv (строк: 20)" ] || { cat "$work/said"; exit 1; }
[ "$(wc -l < "$work/c.csv")" -eq 21 ]
[ "$(grep -c $'\r$' "$work/c.csv")" -eq 21 ]
head -n 1 "$work/c.csv" | grep -q $'^meter_time;pc_time_utc;Urms_a;Urms_b;.*;I1seq;I2;\r$'
sed -n 2p "$work/c.csv" | grep -qE '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8};[0-9-]{10} [0-9:]{8};[0-9]+\.[0-9]+;'
urms="$(sed -n 2p "$work/c.csv" | cut -d';' -f3)"
# the meter's float32 in its shortest exact form: 9 significant digits at most
[[ "$urms" =~ ^[0-9]+\.[0-9]{1,6}$ && ${#urms} -le 10 ]] || { echo "Urms_a is $urms"; exit 1; }
! grep -qE '[0-9]{10}|[0-9]\.[0-9]{9}' "$work/c.csv" || { grep -E '[0-9]{10}|[0-9]\.[0-9]{9}' "$work/c.csv" | head -n 2; exit 1; }
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
# An archive edited by hand: a formula in a time, a number and a count, an
# escape sequence in the device type. The export leaves those rows out and
# says how many; no cell can start a formula, no control byte gets through;
# info prints the device type without its control bytes.
cp "$work/a.sqlite" "$work/bad.sqlite"
sqlite3 "$work/bad.sqlite" <<'SQL'
UPDATE meters SET device_type = 'dt' || char(27) || ']0;x' || char(7) || char(27) || '[2J=HYPERLINK("x")';
UPDATE cycles SET meter_time = '=HYPERLINK("x")' WHERE rowid = (SELECT MIN(rowid) FROM cycles);
UPDATE cycles SET pc_time_utc = '@SUM(1)' || char(27) WHERE rowid = (SELECT MIN(rowid) + 1 FROM cycles);
UPDATE cycles SET Urms_a = '+1+cmd' WHERE rowid = (SELECT MIN(rowid) + 2 FROM cycles);
UPDATE aggregates_10min SET values_count = '=1+1' WHERE rowid = (SELECT MIN(rowid) FROM aggregates_10min);
SQL
"$tool" export "$work/bad.sqlite" --meter 1 --csv "$work/bad.csv" > /dev/null 2> "$work/err"
[ "$(wc -l < "$work/bad.csv")" -eq 18 ]
grep -q '^Пропущено строк, время или число в которых не читается: 3$' "$work/err"
"$tool" export "$work/bad.sqlite" --meter 1 --aggregates --csv "$work/bad_g.csv" > /dev/null 2> "$work/err"
[ "$(wc -l < "$work/bad_g.csv")" -eq "$rows" ]
grep -q ': 1$' "$work/err"
[ -z "$(cat "$work/bad.csv" "$work/bad_g.csv" | tr -d '\r' | tr ';' '\n' | grep -E '^[=+@]|^-[^0-9]|[[:cntrl:]]')" ]
"$tool" info "$work/bad.sqlite" > "$work/bad_info.txt"
[ -z "$(grep '[[:cntrl:]]' "$work/bad_info.txt")" ]
grep -qF 'Счетчик 1: dt]0;x[2J=HYPERLINK("x"), заводской номер 4321' "$work/bad_info.txt"

# The archive from an INI file, the poller's own: its other keys are left
# alone; an archive on the command line comes first. A file that cannot be
# read or names no archive is a wrong command line, its password unsaid.
printf '[Poll]\nConnections=meters.csv\n[Archive]\nTarget=%s\nKeepDays=30\n' "$work/a.sqlite" > "$work/poll.ini"
"$tool" info --config "$work/poll.ini" | cmp - "$work/info.txt"
printf '[Archive]\nTarget=%s\n' "$work/missing.sqlite" > "$work/other.ini"
"$tool" info "$work/a.sqlite" --config "$work/other.ini" | cmp - "$work/info.txt"
"$tool" export --config "$work/poll.ini" --meter 1 --csv "$work/ini.csv" > /dev/null
cmp "$work/ini.csv" "$work/c.csv"
printf '[Poll]\nIds=1\n' > "$work/nokey.ini"
printf '[Archive]\nTarget=postgresql://u:s3cret@/db\n' > "$work/badurl.ini"
cp "$work/poll.ini" "$work/locked.ini"; chmod 000 "$work/locked.ini"
for ini in absent nokey badurl locked; do
  status=0
  "${as_user[@]}" "$tool" check --config "$work/$ini.ini" > /dev/null 2> "$work/err" || status=$?
  [ "$status" -eq 2 ] || { echo "--config $ini: exit $status"; exit 1; }
  head -n 1 "$work/err" | grep -q "^raruzor-archive: $work/$ini.ini: "
  [ -z "$(grep s3cret "$work/err")" ]
done
status=0; "$tool" info 2> /dev/null || status=$?; [ "$status" -eq 2 ]
echo "archive tool: all checks passed"
