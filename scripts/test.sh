#!/bin/bash
# Sets everything up, builds the Windows targets and runs every test under Wine.
# Usage: scripts/test.sh [extra ctest arguments]
#
# One ctest run. The unit and integration tests share one prefix and one
# display with a window manager (without one Wine waits seconds at every hide,
# minimise and destroy). The end-to-end tests, which click by screen
# coordinates into windows without frames, each get a prefix, a wineserver and
# a bare display of their own (tests/e2e/isolate.py), so they run beside the
# others: most of their time is spent waiting for the program. A unit or
# integration test that fails fails the run. An end-to-end or installer test
# that fails runs once more unless a program crashed, hung or timed out; one
# that passes then is listed as FLAKY at the end.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${CALDRIS_TEST_BUILD:-$ROOT/build-tests}"
# Tests at once: the end-to-end tests mostly wait, so more than the cores.
JOBS="${CALDRIS_TEST_JOBS:-$(( $(nproc) * 2 ))}"

"$ROOT/scripts/setup.sh"

# Through the compiler cache, the test releases' trees too (scripts/release.sh
# configures them with these): they compile the same sources with the same
# flags, and with paths relative to the source folder their commands read as
# this tree's.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$ROOT}"
# The test programs use a precompiled header; the cache serves them only so.
export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-pch_defines,time_macros}"
export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
cmake -S "$ROOT" -B "$BUILD" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCALDRIS_BUILD_TESTS=ON >/dev/null
cmake --build "$BUILD"

. "$ROOT/scripts/wine-env.sh"
# stop_isolated: the servers of isolated tests that ctest had to kill.
stop_isolated() {
  local prefix
  for prefix in "$BUILD"/isolated/*/prefix "$BUILD"/selfupdate-test/prefix "$BUILD"/installer-test/prefix; do
    [ -d "$prefix" ] && WINEPREFIX="$prefix" "$WINESERVER" -k >/dev/null 2>&1 || true
  done
}
trap 'stop_isolated; stop_wine_env' EXIT
wine_prepare_prefix "$BUILD/wineprefix"
cd "$BUILD"
REPORTS="$BUILD/test-reports"
mkdir -p "$REPORTS"

FAILED=0
FLAKY=()

# run_round NAME CTEST_ARGS...: the tests once, then the retried ones once more.
run_round() {
  local name=$1
  shift
  local junit="$REPORTS/ctest-$name.xml" tests="$REPORTS/ctest-$name-tests.json"
  rm -f "$junit"
  ctest --show-only=json-v1 "$@" >"$tests"
  if ctest --output-on-failure --timeout 300 -j "$JOBS" --output-junit "$junit" "$@"; then
    return 0
  fi
  [ -f "$junit" ] || { FAILED=1; return 0; }
  local again=()
  mapfile -t again < <(python3 "$ROOT/scripts/test-retries.py" retry "$junit" "$tests" || echo "!stays")
  if [ "${again[-1]:-}" = "!stays" ]; then
    FAILED=1
    unset 'again[-1]'
  fi
  [ ${#again[@]} -gt 0 ] || { FAILED=1; return 0; }
  local expr
  expr="^($(printf '%s\n' "${again[@]}" | sed 's/[.]/\\./g' | paste -sd '|'))\$"
  echo "[test] running once more: ${again[*]}"
  local junit2="$REPORTS/ctest-$name-again.xml"
  rm -f "$junit2"
  ctest --output-on-failure --timeout 300 -j "$JOBS" --output-junit "$junit2" "$@" -R "$expr" || true
  local passed=()
  [ -f "$junit2" ] && mapfile -t passed < <(python3 "$ROOT/scripts/test-retries.py" passed "$junit2" "${again[@]}")
  FLAKY+=(${passed[@]+"${passed[@]}"})
  [ ${#passed[@]} -eq ${#again[@]} ] || FAILED=1
}

start_xvfb
start_window_manager
start_wineserver
run_round all "$@"

for t in ${FLAKY[@]+"${FLAKY[@]}"}; do echo "FLAKY: $t"; done
if [ "$FAILED" -ne 0 ]; then
  echo "[test] FAILED"
  exit 1
fi
echo "[test] all passed${FLAKY[*]:+ (${#FLAKY[@]} only on the second run)}"
