#!/usr/bin/env bash
# Builds everything and runs all tests twice: a normal build, then a build
# with AddressSanitizer and UndefinedBehaviorSanitizer. Between the two, the
# Debian package is built and checked, and the engine tests run under
# ThreadSanitizer.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc 2>/dev/null || echo 2)"

"$root/scripts/install-deps.sh"

# The archive tests run against a PostgreSQL server that ctest starts in each
# build folder; here a missing server fails them instead of skipping them.
export MONITOR_REQUIRE_PG=1

echo "== format =="
"$root/scripts/format.sh"

echo "== build (release) =="
cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build/release" -j "$jobs"

echo "== build (address + undefined behaviour sanitizers) =="
cmake -S "$root" -B "$root/build/asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DMONITOR_SANITIZE=ON -DMONITOR_BENCH=OFF -DMONITOR_PACKAGE=OFF >/dev/null
cmake --build "$root/build/asan" -j "$jobs"

echo "== tests (release) =="
(cd "$root/build/release" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")

echo "== polling under faults, short form (release) =="
(cd "$root/build/release" && ctest -C soak -L soak --output-on-failure)

echo "== Debian package: built, unpacked and checked =="
deb="$("$root/scripts/package.sh")"
version="$(sed -n 's/^project(RaruzorMonitor VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
"$root/tests/packaging/check_package.sh" "$deb" "$version"

echo "== engine tests (thread sanitizer) =="
cmake -S "$root" -B "$root/build/tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DMONITOR_SANITIZE_THREAD=ON -DMONITOR_BENCH=OFF -DMONITOR_PACKAGE=OFF >/dev/null
cmake --build "$root/build/tsan" -j "$jobs" --target test_engine test_soak tarvel-meter-sim
# A child that QProcess forks (the simulator, socat) only execs, yet now and
# then the sanitizer's runtime sees a thread start in it before the exec and
# ends it: not a race of ours, and it failed a whole run.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:suppressions=$root/tests/tsan.supp"
QT_QPA_PLATFORM=offscreen "$root/build/tsan/tests/test_engine" --gtest_brief=1
MONITOR_SOAK_SECONDS=20 QT_QPA_PLATFORM=offscreen "$root/build/tsan/tests/test_soak" --gtest_brief=1
unset TSAN_OPTIONS

echo "== tests (address + undefined behaviour sanitizers) =="
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
cd "$root/build/asan" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs"

echo "== polling under faults, short form (address + undefined behaviour sanitizers) =="
ctest -C soak -L soak --output-on-failure
