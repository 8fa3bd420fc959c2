#!/usr/bin/env bash
# Builds the program and starts it. When the meter simulator is built it is
# started too, on a loopback port, and stopped again when the program closes.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/release"

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target raruzor-monitor

cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target tarvel-meter-sim
sim="$build/tools/meter-sim/tarvel-meter-sim"
# The demo connection below points at this port.
port=50555
"$sim" --port "$port" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true' EXIT
echo "Meter simulator (M7 SQ, device address 1, no password) listens on 127.0.0.1:$port"

# On the first start only, give the program one saved connection: the
# simulator. An existing settings file is never touched.
settings_dir="${XDG_DATA_HOME:-$HOME/.local/share}/VD/Raruzor U7(D5)"
ini="$settings_dir/raruzor-monitor.ini"
if [ ! -e "$ini" ]; then
  mkdir -p "$settings_dir"
  list_hex="$(od -An -v -tx1 "$root/scripts/demo-connections.txt" | tr -d ' \n' | tr 'a-f' 'A-F')"
  printf '[Подключения]\r\nСписок=%s\r\nВыбрано=0\r\n\r\n' "$list_hex" | iconv -f UTF-8 -t CP1251 > "$ini"
  echo "Created $ini with a connection to the simulator"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display: starting under xvfb-run"
  exec_prefix=(xvfb-run -a -s "-screen 0 1280x800x24")
else
  exec_prefix=()
fi
"${exec_prefix[@]}" "$build/src/app/raruzor-monitor"
