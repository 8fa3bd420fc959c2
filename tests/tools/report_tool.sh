#!/usr/bin/env bash
# raruzor-report on an archive the poller wrote from the simulator: each
# format written, the verdict said; no data, no archive and a wrong command
# line refused with their exit codes; a device type edited into markup and
# escape sequences; the archive named by an INI file.
set -euo pipefail
trap 'echo "failed at line $LINENO: $BASH_COMMAND"' ERR
tool="$1"; poll="$2"; sim="$3"
work="$(mktemp -d)"
sim_pid=""
trap 'kill -KILL $sim_pid 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

"$sim" --port 0 --fast-clock --clock-step 3 --die-with-parent > "$work/sim.out" &
sim_pid=$!
for _ in $(seq 100); do grep -q LISTENING "$work/sim.out" && break; sleep 0.1; done
port="$(awk '/LISTENING/ {print $2}' "$work/sim.out")"
"$poll" --tcp "127.0.0.1:$port" --factory-number 4321 --cycles 400 --archive "$work/a.sqlite" \
  --log "$work/poll.log" > "$work/poll.txt" || { cat "$work/poll.txt"; exit 1; }
day="$(sqlite3 "$work/a.sqlite" "SELECT substr(MIN(meter_time), 1, 10) FROM cycles")"

for format in json html pdf; do
  "$tool" --archive "$work/a.sqlite" --meter 4321 --from "$day" --to "${day}T23:59:59" --format $format \
    --out "$work/r.$format" > "$work/out.txt" 2>&1 || { cat "$work/out.txt"; exit 1; }
  # the simulator's frequency steps past its maximum every 150 s: that fails however few the data
  grep -q "^Отчёт записан в $work/r.$format: не соответствует$" "$work/out.txt"
done
grep -q '"verdict": "не соответствует"' "$work/r.json"
grep -q '"factory_number": 4321' "$work/r.json"
grep -q 'src="data:image/png;base64,' "$work/r.html"
if command -v pdftotext > /dev/null; then
  pdftotext "$work/r.pdf" "$work/r.txt"
  grep -q 'Заключение: не соответствует' "$work/r.txt"
fi

# no data in the interval: exit 1, one Russian line, no file
expect() { local want="$1"; shift; local rc=0; "$@" 2> "$work/err.txt" || rc=$?; [ "$rc" -eq "$want" ]; }
expect 1 "$tool" --archive "$work/a.sqlite" --from 2000-01-01 --format json --out "$work/none.json"
grep -q '^Отчёт не составлен: в архиве нет данных счетчика 4321' "$work/err.txt"
[ ! -e "$work/none.json" ]
# minutes of recording hold no whole day: the default interval is all of them, and the report says so
"$tool" --archive "$work/a.sqlite" --format json --out "$work/all.json" > /dev/null
grep -q '"interval_note": "Оценен весь архив прибора: .*, полных суток в архиве нет"' "$work/all.json"
# not an archive
echo text > "$work/text.sqlite"
expect 1 "$tool" --archive "$work/text.sqlite" --format json --out "$work/x.json"
grep -q '^Архив не открыт: ' "$work/err.txt"
# wrong command lines
expect 2 "$tool" --archive "$work/a.sqlite" --format doc --out "$work/x.doc"
expect 2 "$tool" --archive "$work/a.sqlite" --format json
expect 2 "$tool" --archive "$work/a.sqlite" --from 2026-13-01 --format json --out x
# A device type edited by hand: escaped in HTML, its control bytes gone
sqlite3 "$work/a.sqlite" "UPDATE meters SET device_type = '<b>dt' || char(27) || '[2J'"
"$tool" --archive "$work/a.sqlite" --from "$day" --to "${day}T23:59:59" --format html --out "$work/m.html" > /dev/null
grep -qF '&lt;b&gt;dt[2J' "$work/m.html"
[ -z "$(grep -F '<b>dt' "$work/m.html")$(grep $'\e' "$work/m.html")" ]

# The archive from the poller's INI file; --archive comes first; a file that
# cannot be read or names no archive: exit 2, the password unsaid
printf '[Poll]\nIds=1\n[Archive]\nTarget=%s\nSpectra=true\n' "$work/a.sqlite" > "$work/poll.ini"
printf '[Archive]\nTarget=postgresql://u:s3cret@/db\n' > "$work/badurl.ini"
"$tool" --config "$work/poll.ini" --from "$day" --format json --out "$work/c1.json" > /dev/null
"$tool" --config "$work/badurl.ini" --archive "$work/a.sqlite" --from "$day" --format json --out "$work/c2.json" > /dev/null
"$tool" --archive "$work/a.sqlite" --from "$day" --format json --out "$work/c3.json" > /dev/null
cmp "$work/c1.json" "$work/c3.json"; cmp "$work/c2.json" "$work/c3.json"
for ini in absent badurl; do
  expect 2 "$tool" --config "$work/$ini.ini" --format json --out "$work/x.json"
  grep -q "^raruzor-report: $work/$ini.ini: " "$work/err.txt"
  [ -z "$(grep s3cret "$work/err.txt")" ]
done
"$tool" --help | grep '^Использование: raruzor-report' >/dev/null
[ "$("$tool" --version | cut -d' ' -f1)" = raruzor-report ]
echo ok
