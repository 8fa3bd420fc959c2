#!/usr/bin/env bash
# Builds the Debian package build/release/package/raruzor-monitor_<version>_amd64.deb
# from the release build: the program, the poller, the simulator and
# ccnn-convert in /usr/bin, the desktop entry and icon, manual pages and the
# user guide. Prints the package's path.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/release"
jobs="$(nproc 2>/dev/null || echo 2)"

"$root/scripts/install-deps.sh" >&2
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMONITOR_PACKAGE=ON >/dev/null
cmake --build "$build" -j "$jobs" --target raruzor-monitor raruzor-poll tarvel-meter-sim ccnn-convert package_files >&2
rm -rf "$build/package"
(cd "$build" && cpack -G DEB >&2)
ls "$build"/package/raruzor-monitor_*_amd64.deb
