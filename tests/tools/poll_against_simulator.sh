#!/usr/bin/env bash
# The headless poller against the meter simulator: its runs, its signals and
# its exit status (0 only for a run stopped on request, with data, every file
# written).
set -euo pipefail
# a check that fails says which one (at the top level: functions say it themselves)
trap 'echo "failed at line $LINENO: $BASH_COMMAND"' ERR
poll="$1"; sim="$2"
work="$(mktemp -d)"
sims=()
pid=""
pairs=()
trap 'kill -KILL "${sims[@]}" $pid "${pairs[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

# Starts a simulator with the extra arguments given; sets $port.
start_sim() {
  local out="$work/sim${#sims[@]}.out"
  "$sim" --port 0 --fast-clock --die-with-parent "$@" > "$out" &
  sims+=($!)
  for _ in $(seq 100); do grep -q LISTENING "$out" && break; sleep 0.1; done
  port="$(awk '/LISTENING/ {print $2}' "$out")"
}

# Starts the poller in the background, its output in $work/NAME.txt; sets $pid.
start_poll() {
  local name="$1"; shift
  "$poll" "$@" --log "$work/$name.log" > "$work/$name.txt" &
  pid=$!
}

# Waits until the poller's output NAME.txt shows the text.
wait_for() {
  for _ in $(seq 600); do grep -qs "$2" "$work/$1.txt" && return 0; sleep 0.1; done
  echo "the poller never printed '$2'"; cat "$work/$1.txt"; exit 1
}

# Waits for the background poller (killed after 60 s: a hang); sets $status.
finish() {
  local waited=0
  while kill -0 "$pid" 2>/dev/null; do
    [ $((waited += 1)) -le 600 ] || { kill -KILL "$pid"; break; }
    sleep 0.1
  done
  status=0
  wait "$pid" || status=$?
  pid=""
}

# The run's last status is "Стоп опроса", then the link statistics (indented).
ends_with_stop() {
  local tail
  tail="$(grep -v '^  ' "$work/$1.txt" | tail -n 2 | tr '\n' '|')"
  [ "$tail" = "Стоп опроса|Статистика обмена:|" ] || { echo "$1 ends with: $tail"; cat "$work/$1.txt"; exit 1; }
}

expect_status() {  # NAME WANTED...
  local name="$1"; shift
  for wanted in "$@"; do [ "$status" = "$wanted" ] && return 0; done
  echo "$name: exit status $status, wanted $*"; cat "$work/$name.txt"; exit 1
}

start_sim
good="$port"

# two cycles, a CSV after each, a clean exit
start_poll cycles --tcp "127.0.0.1:$good" --device-type dtM7 --factory-number 77 \
  --cycles 2 --csv-every 1 --stats-every 1 --out "$work/csv"
finish; expect_status cycles 0
grep -q "Идет обмен данными" "$work/cycles.txt"
ends_with_stop cycles
# statistics after each cycle and at the end
[ "$(grep -c '^Статистика обмена:' "$work/cycles.txt")" -ge 3 ]
grep -q '^  Циклов опроса: 2' "$work/cycles.txt"
grep -q '^  Ошибок контрольной суммы: 0' "$work/cycles.txt"
csvs=("$work"/csv/monitor_m7\(v4_6\)_77_*.csv)
[ "${#csvs[@]}" -eq 2 ]
[ "$(ls -A "$work/csv" | wc -l)" -eq 2 ]   # no temporary file left beside them
[ "$(wc -l < "${csvs[0]}")" -eq 74 ]

# a data answer cut short clears the record: that is no cycle, and the one
# snapshot asked for is of the first cycle read whole
start_sim --fault length,on=data,count=1
start_poll cut --tcp "127.0.0.1:$port" --cycles 1 --csv-every 1 --out "$work/cut"
finish; expect_status cut 0
order="$(grep -oE '^(Неполный ответ|Идет обмен|Последний файл)' "$work/cut.txt" | tr '\n' '|')"
[ "$order" = "Неполный ответ|Идет обмен|Последний файл|" ] || { echo "cut: $order"; cat "$work/cut.txt"; exit 1; }
[ "$(ls "$work"/cut/*.csv | wc -l)" -eq 1 ]

# a meter that is never ready for data: no cycle, no snapshot, a failed run
start_sim --fault notready,on=data,prob=1
start_poll notready --tcp "127.0.0.1:$port" --csv-every 1 --out "$work/notready"
wait_for notready "Данные не готовы"
kill -INT "$pid"
finish; expect_status notready 1
! grep -q "Идет обмен данными" "$work/notready.txt"
grep -q '^  Циклов опроса: 0' "$work/notready.txt"
[ -z "$(ls -A "$work/notready" 2>/dev/null)" ]

# Ctrl+C while a data answer is still coming in: nothing is written
start_sim --fault dribble,on=data,value=20,prob=1
start_poll stop-inside --tcp "127.0.0.1:$port" --csv-every 1 --out "$work/stop-inside"
wait_for stop-inside "Старт опроса"
sleep 2
kill -INT "$pid"
finish; expect_status stop-inside 1
grep -q '^  Циклов опроса: 0' "$work/stop-inside.txt"
[ -z "$(ls -A "$work/stop-inside" 2>/dev/null)" ]

# recording until Ctrl+C: a clean stop
start_poll ctrl-c --tcp "127.0.0.1:$good" --csv-every 1 --out "$work/ctrl-c"
wait_for ctrl-c "Последний файл"
kill -INT "$pid"
finish; expect_status ctrl-c 0
ends_with_stop ctrl-c

# Ctrl+C twice while a CSV is written every cycle: the poller ends at once,
# and every file it leaves is a whole snapshot, nothing half-written beside
start_poll csv-abandon --tcp "127.0.0.1:$good" --csv-every 1 --out "$work/abandon"
wait_for csv-abandon "Последний файл"
sleep 0.5
kill -STOP "$pid"; kill -INT "$pid"; kill -TERM "$pid"; kill -CONT "$pid"
finish; expect_status csv-abandon 130 143
for file in "$work"/abandon/*; do
  case "$file" in *.csv) ;; *) echo "a stray file after Ctrl+C: $file"; exit 1 ;; esac
  [ "$(wc -l < "$file")" -eq 74 ] || { echo "a cut CSV after Ctrl+C: $file"; exit 1; }
done

# Ctrl+C while connecting to a port where the connect hangs (a thousand
# attempts of 4 s would take over an hour): the connect is given up at once,
# no further attempt, a clean stop. The port's listener never accepts and its
# accept queue (backlog 0) holds a parked connection, so the kernel drops the
# poller's SYNs.
perl -MSocket -e '
  socket(my $l, PF_INET, SOCK_STREAM, 0) or die; bind($l, pack_sockaddr_in(0, INADDR_LOOPBACK)) or die;
  listen($l, 0) or die; my ($p) = unpack_sockaddr_in(getsockname($l));
  socket(my $c, PF_INET, SOCK_STREAM, 0) or die; connect($c, pack_sockaddr_in($p, INADDR_LOOPBACK)) or die;
  $| = 1; print "$p\n"; sleep 600' > "$work/hanging.port" &
sims+=($!)
for _ in $(seq 100); do [ -s "$work/hanging.port" ] && break; sleep 0.1; done
start_poll no-answer --tcp "127.0.0.1:$(cat "$work/hanging.port")" --connect-attempts 1000
wait_for no-answer "Старт опроса"
sleep 0.3
asked=$(date +%s%N)
kill -INT "$pid"
finish; expect_status no-answer 1
ends_with_stop no-answer
took=$(( ($(date +%s%N) - asked) / 1000000 ))
[ "$took" -lt 1500 ] || { echo "no-answer: the stop took $took ms"; exit 1; }
# a connect the stop cut short is no failure to report
! grep -q "Удаленный сервер не найден" "$work/no-answer.txt" || { cat "$work/no-answer.txt"; exit 1; }

# Ctrl+C in the middle of an oscillogram of many small parts: the stop reaches
# the engine at once, so nothing after the request in progress reaches the
# meter. The poller is held while the meter's count is taken, then given the
# signal.
"$sim" --port 0 --fast-clock --die-with-parent --verbose --osc-chunk 256 > "$work/osc-sim.out" 2> "$work/osc-sim.err" &
sims+=($!)
for _ in $(seq 100); do grep -q LISTENING "$work/osc-sim.out" && break; sleep 0.1; done
start_poll osc-stop --tcp "127.0.0.1:$(awk '/LISTENING/ {print $2}' "$work/osc-sim.out")" --device-type dtM7SQ
wait_for osc-stop "Идет обмен данными"
# held until it is held with more parts of an oscillogram to come
for _ in $(seq 500); do
  kill -STOP "$pid"; sleep 0.002
  grep ' #' "$work/osc-sim.err" | tail -n 1 | grep -q ' osc .*-> code 33,' && break
  kill -CONT "$pid"; sleep 0.01
done
requests=$(grep -c ' #' "$work/osc-sim.err")
kill -INT "$pid"; kill -CONT "$pid"
finish; expect_status osc-stop 0
ends_with_stop osc-stop
after=$(( $(grep -c ' #' "$work/osc-sim.err") - requests ))
[ "$after" -le 1 ] || { echo "osc-stop: $after requests after Ctrl+C"; exit 1; }

# a port with nothing listening
start_poll refused --tcp 127.0.0.1:1
finish; expect_status refused 1
grep -q "Стоп опроса" "$work/refused.txt"

# a meter that never answers the data request: no data, whenever the stop
# comes; a hang-up stops the poller like Ctrl+C
start_sim --fault silence,on=data,prob=1
start_poll silent --tcp "127.0.0.1:$port" --attempts 1
wait_for silent "Нет ответа от измерителя"
kill -HUP "$pid"
finish; expect_status silent 1
ends_with_stop silent

# an output folder that cannot be made: good data, but no CSV written
: > "$work/blocker"
start_poll no-csv --tcp "127.0.0.1:$good" --cycles 2 --csv-every 1 --out "$work/blocker/csv"
finish; expect_status no-csv 1
grep -q "Ошибка при сохранении в: $work/blocker/csv/" "$work/no-csv.txt"

# a log in a folder not made yet gets it; one where no folder can be is named
# with the reason, and the run polls on but fails
"$poll" --tcp "127.0.0.1:$good" --cycles 1 --log "$work/new/logs/run.log" > "$work/new-log.txt"
grep -qxF "Журнал: $work/new/logs/run.log" "$work/new-log.txt" || { cat "$work/new-log.txt"; exit 1; }
status=0
"$poll" --tcp "127.0.0.1:$good" --cycles 1 --log "$work/blocker/logs/run.log" > "$work/no-log.txt" || status=$?
expect_status no-log 1
grep -qxF "Ведение лог-файла невозможно: $work/blocker/logs/run.log ($work/blocker — не папка)" "$work/no-log.txt"
grep -q '^  Циклов опроса: 1' "$work/no-log.txt"

# oscillograms asked for where no folder can be made: refused before polling
HOME="$work/blocker" XDG_CONFIG_HOME="$work/blocker" start_poll no-osc --tcp "127.0.0.1:$good" --save-oscillograms
finish; expect_status no-osc 1
grep -q "Ошибка при сохранении в: $work/blocker/" "$work/no-osc.txt"

# two signals before the poller can act on the first (Ctrl+C pressed twice):
# it ends at once, its log closed, without waiting for the engine
start_poll twice --tcp "127.0.0.1:$good"
wait_for twice "Старт опроса"
kill -STOP "$pid"; kill -INT "$pid"; kill -TERM "$pid"; kill -CONT "$pid"
finish; expect_status twice 130 143
iconv -f CP1251 -t UTF-8 "$work/twice.log" | tail -n 1 | grep -q "Закрытие программы"

# a demo profile's settings: one chosen connection to the simulator
"$poll" --tcp "127.0.0.1:$good" --device-type dtM7SQ --write-settings "$work/profile/monitor.ini"
iconv -f CP1251 -t UTF-8 "$work/profile/monitor.ini" > "$work/ini.txt"
grep -q '^\[Подключения\]' "$work/ini.txt"
grep -q $'^Выбрано=0\r$' "$work/ini.txt"
grep -q '^Список=6F626A656374' "$work/ini.txt"   # the list in its text form, hex-coded
# oscillograms on a disk that fills up (a file-size limit): polling goes on,
# each failed save names its file and reason, so does the log, the run fails
start_sim
mkdir -p "$work/full"
(trap '' XFSZ; ulimit -f 16; HOME="$work/full" XDG_CONFIG_HOME="$work/full/.config" exec "$poll" \
  --tcp "127.0.0.1:$port" --device-type dtM7SQ --cycles 3 --save-oscillograms --log "$work/full.log" \
  > "$work/full.txt") &
pid=$!
finish; expect_status full 1
grep -q "^Ошибка при сохранении осциллограммы в $work/full/.*\.cfg: ." "$work/full.txt"
grep -q '^  Циклов опроса: 3' "$work/full.txt"
grep -q '^  Осциллограмм не сохранено: [1-9]' "$work/full.txt"
[ "$(iconv -f CP1251 -t UTF-8 "$work/full.log" | grep -c 'Ошибка при сохранении осциллограммы')" -ge 1 ]
[ -z "$(find "$work/full" -name '*.part')" ]

# two pollers at once under one log name: each its own log, whole from its
# start to its close; each oscillogram file written is named on the output
# (two meters of their own numbers: their oscillogram files are named apart)
start_sim --device-number 1; first_port="$port"; start_sim --device-number 2
mkdir -p "$work/pair"
for n in 1 2; do
  p="$first_port"; [ "$n" = 2 ] && p="$port"
  HOME="$work/pair" XDG_CONFIG_HOME="$work/pair/.config" "$poll" --tcp "127.0.0.1:$p" --device-type dtM7SQ \
    --device-address "$n" --cycles 3 --save-oscillograms --log "$work/pair.log" > "$work/pair$n.txt" &
  pairs+=($!)
done
for p in "${pairs[@]}"; do wait "$p" || { cat "$work"/pair[12].txt; exit 1; }; done
logs=("$work"/pair*.log)
[ "${#logs[@]}" = 2 ] || { echo "pair logs: ${logs[*]}"; exit 1; }
for log in "${logs[@]}"; do
  iconv -f CP1251 -t UTF-8 "$log" > "$log.txt"
  head -n 1 "$log.txt" | grep -q "Старт программы"
  tail -n 1 "$log.txt" | grep -q "Закрытие программы"
  [ "$(grep -c "Старт программы" "$log.txt")" = 1 ]
  grep -qxF "Журнал: $log" "$work"/pair[12].txt
done
saved="$(grep -h '^Осциллограмма сохранена: ' "$work"/pair[12].txt | sed 's/^[^:]*: //')"
[ -n "$saved" ]
while read -r cfg; do [ -s "$cfg" ] && [ -s "${cfg%.cfg}.dat" ]; done <<< "$saved"
# (both simulators are meter 1 on one clock: their names may coincide)
[ "$(sort -u <<< "$saved" | wc -l)" = "$(find "$work/pair" -name '*.cfg' | wc -l)" ]

echo "poller: ok"
