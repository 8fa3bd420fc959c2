#!/usr/bin/env bash
# The demo: builds everything, starts the meter simulator on a free loopback
# port and the program in a demo profile of its own (INI, log and CSV files
# under build/demo-profile), whose settings hold one chosen TCP connection
# to the simulator. Press "Запустить опрос" to see live values. Closing the
# program stops the simulator. The user's own settings are never touched.
#
# scripts/run.sh --history (or --demo-day) first records a day of meter
# history into the demo profile's default archive (Documents/VD/Raruzor
# U7(D5)/archive.sqlite), unless it already holds a day: a second simulator,
# its clock started a day back and stepping 3 s per reading, is polled by
# raruzor-poll for 28800 cycles (a minute or less). The history ends
# before now, so the program's live cycles go on after it in the same archive.
#
# To run the program with your real folders instead:
#   build/release/src/app/raruzor-monitor
set -euo pipefail
history=0
for arg in "$@"; do
  case "$arg" in
    --history | --demo-day) history=1 ;;
    -h | --help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: unknown option '$arg' (--history records a day of history first)" >&2; exit 2 ;;
  esac
done
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/release"
jobs="$(nproc 2>/dev/null || echo 2)"

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(raruzor-monitor tarvel-meter-sim raruzor-poll)
if [ "$history" = 1 ]; then targets+=(raruzor-archive); fi
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

profile="$root/build/demo-profile"
mkdir -p "$profile"
sim_out="$profile/simulator.out"
"$build/tools/meter-sim/tarvel-meter-sim" --port 0 --line-rate 115200 > "$sim_out" &
sim_pid=$!
history_pid=""
trap 'kill "$sim_pid" $history_pid 2>/dev/null || true' EXIT
# The port a simulator printed once it listens; empty when it did not start.
listening_port() {
  for _ in $(seq 100); do grep -q LISTENING "$1" 2>/dev/null && break; sleep 0.1; done
  awk '/LISTENING/ {print $2}' "$1"
}
port="$(listening_port "$sim_out")"
if [ -z "$port" ]; then
  echo "The meter simulator did not start" >&2
  exit 1
fi
echo "Meter simulator (M7 SQ, device address 1, no password) listens on 127.0.0.1:$port"

# The demo profile: its own home for the program's folders.
export HOME="$profile" XDG_DATA_HOME="$profile/.local/share" XDG_CONFIG_HOME="$profile/.config"
unset XDG_DOCUMENTS_DIR
"$build/tools/poll/raruzor-poll" --tcp "127.0.0.1:$port" --device-type dtM7SQ --factory-number 1 \
  --write-settings "$XDG_DATA_HOME/VD/Raruzor U7(D5)/raruzor-monitor.ini"
echo "Demo profile: $profile (log, settings and CSV snapshots of the demo)"

# A day of history: the cycles of a meter clock that starts a day (and a
# margin) back and moves 3 s per reading, so every reading is a new cycle and
# 28800 of them are exactly a day that ends before now.
if [ "$history" = 1 ]; then
  day_cycles=28800
  archive="$HOME/Documents/VD/Raruzor U7(D5)/archive.sqlite"
  held=0
  if [ -f "$archive" ]; then
    held="$("$build/tools/archive/raruzor-archive" info "$archive" |
      awk '/циклов:/ {n = $2; sub(",", "", n); if (n + 0 > max) max = n + 0} END {print max + 0}')" || held=0
  fi
  if [ "$held" -ge "$day_cycles" ]; then
    echo "The archive already holds a day ($held cycles): $archive"
  else
    mkdir -p "$(dirname "$archive")"
    history_out="$profile/history-simulator.out"
    "$build/tools/meter-sim/tarvel-meter-sim" --port 0 --fast-clock --clock-step 3 \
      --start-time "$(date -d '-1 day -2 min' +%Y-%m-%dT%H:%M:%S)" > "$history_out" &
    history_pid=$!
    history_port="$(listening_port "$history_out")"
    if [ -z "$history_port" ]; then
      echo "The history's meter simulator did not start" >&2
      exit 1
    fi
    echo "Recording a day of history ($day_cycles cycles) into $archive"
    recording_started=$SECONDS
    if "$build/tools/poll/raruzor-poll" --tcp "127.0.0.1:$history_port" --device-type dtM7SQ \
      --factory-number 1 --cycles "$day_cycles" --stats-every $((day_cycles / 20)) --archive "$archive" \
      --log "$profile/history-poll.log" |
      awk -v total="$day_cycles" '/Циклов опроса:/ && $3 != last {last = $3; printf "  %d of %d cycles\n", last, total; fflush()}'; then
      echo "History recorded in $((SECONDS - recording_started)) s"
    else
      echo "Recording the history failed (see $profile/history-poll.log); the demo starts without all of it" >&2
    fi
    kill "$history_pid" 2>/dev/null || true
    wait "$history_pid" 2>/dev/null || true
    history_pid=""
  fi
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
  echo "No display: starting under xvfb-run"
  xvfb-run -a -s "-screen 0 1280x800x24" "$build/src/app/raruzor-monitor"
else
  "$build/src/app/raruzor-monitor"
fi
