#!/usr/bin/env bash
# Builds the fuzz harnesses with clang (libFuzzer, ASan, UBSan) and runs one:
#   scripts/fuzz.sh HARNESS [SECONDS]     e.g. scripts/fuzz.sh meter-answers 600
# Harnesses: connection-list-binary connection-list-text meter-answers
#            data-answer comtrade settings-file
# The committed corpus is only read; what the fuzzer finds new goes to
# build/fuzz/findings/HARNESS (crashes as crash-* files beside it).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
harness="${1:?which harness}"; seconds="${2:-600}"
target="fuzz_${harness//-/_}"
corpus="$root/tests/fuzz/corpus/$harness"
[ -d "$corpus" ] || { echo "no harness '$harness'" >&2; exit 2; }

CC=clang CXX=clang++ cmake -S "$root" -B "$root/build/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMONITOR_FUZZ=ON -DMONITOR_PACKAGE=OFF -DMONITOR_BENCH=OFF >/dev/null
cmake --build "$root/build/fuzz" --target "$target"

findings="$root/build/fuzz/findings/$harness"
mkdir -p "$findings"
seeds=("$corpus")
# COMTRADE files written by other tools, where this checkout has them beside
# it: each .cfg/.dat pair packed as the harness reads it (configuration length
# in two bytes, configuration, data).
foreign="$root/../shared/corpus/comtrade"
if [ "$harness" = comtrade ] && [ -d "$foreign" ]; then
  packed="$root/build/fuzz/comtrade-seeds"
  mkdir -p "$packed"
  for cfg in "$foreign"/*.cfg "$foreign"/*.cff; do
    [ -e "$cfg" ] || continue
    dat="${cfg%.*}.dat"; [ -e "$dat" ] || dat=/dev/null
    size=$(stat -c %s "$cfg")
    { printf "\\x$(printf %02x $((size & 255)))\\x$(printf %02x $(((size >> 8) & 255)))"
      cat "$cfg" "$dat"; } > "$packed/$(basename "${cfg%.*}").bin"
  done
  seeds+=("$packed")
fi
cd "$findings"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
"$root/build/fuzz/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$findings/" "$findings" "${seeds[@]}"
