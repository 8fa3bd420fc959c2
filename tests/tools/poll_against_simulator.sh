#!/usr/bin/env bash
# The headless poller against the meter simulator: two cycles, a CSV after
# each, a clean exit; then a refused port ends with an error exit.
set -euo pipefail
poll="$1"; sim="$2"
work="$(mktemp -d)"
trap 'kill "$sim_pid" 2>/dev/null || true; rm -rf "$work"' EXIT

"$sim" --port 0 --fast-clock --die-with-parent > "$work/sim.out" &
sim_pid=$!
for _ in $(seq 100); do grep -q LISTENING "$work/sim.out" && break; sleep 0.1; done
port="$(awk '/LISTENING/ {print $2}' "$work/sim.out")"

timeout 60 "$poll" --tcp "127.0.0.1:$port" --device-type dtM7 --factory-number 77 \
  --cycles 2 --csv-every 1 --out "$work" --log "$work/poll.log" > "$work/out.txt"
grep -q "Идет обмен данными" "$work/out.txt"
tail -n 1 "$work/out.txt" | grep -q "Стоп опроса"
csvs=("$work"/monitor_m7\(v4_6\)_77_*.csv)
[ "${#csvs[@]}" -eq 2 ]
[ "$(wc -l < "${csvs[0]}")" -eq 74 ]

if timeout 60 "$poll" --tcp 127.0.0.1:1 --log "$work/refused.log" > "$work/refused.txt"; then
  echo "a refused port must end with an error exit"; exit 1
fi
grep -q "Стоп опроса" "$work/refused.txt"
# a demo profile's settings: one chosen connection to the simulator
"$poll" --tcp "127.0.0.1:$port" --device-type dtM7SQ --write-settings "$work/profile/monitor.ini"
iconv -f CP1251 -t UTF-8 "$work/profile/monitor.ini" > "$work/ini.txt"
grep -q '^\[Подключения\]' "$work/ini.txt"
grep -q $'^Выбрано=0\r$' "$work/ini.txt"
grep -q '^Список=6F626A656374' "$work/ini.txt"   # the list in its text form, hex-coded
echo "poller: ok"
