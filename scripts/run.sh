#!/usr/bin/env bash
# The demo: builds everything, starts the meter simulator on a free loopback
# port and the program in a demo profile of its own (INI, log and CSV files
# under build/demo-profile), whose settings hold one chosen TCP connection
# to the simulator. Press "Запустить опрос" to see live values. Closing the
# program stops the simulator. The user's own settings are never touched.
#
# To run the program with your real folders instead:
#   build/release/src/app/raruzor-monitor
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/release"
jobs="$(nproc 2>/dev/null || echo 2)"

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$jobs" --target raruzor-monitor tarvel-meter-sim raruzor-poll

profile="$root/build/demo-profile"
mkdir -p "$profile"
sim_out="$profile/simulator.out"
"$build/tools/meter-sim/tarvel-meter-sim" --port 0 --line-rate 115200 > "$sim_out" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true' EXIT
for _ in $(seq 100); do grep -q LISTENING "$sim_out" 2>/dev/null && break; sleep 0.1; done
port="$(awk '/LISTENING/ {print $2}' "$sim_out")"
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

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
  echo "No display: starting under xvfb-run"
  xvfb-run -a -s "-screen 0 1280x800x24" "$build/src/app/raruzor-monitor"
else
  "$build/src/app/raruzor-monitor"
fi
