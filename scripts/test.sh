#!/bin/bash
# Sets everything up, builds the Windows targets and runs every test under Wine.
# Usage: scripts/test.sh [extra ctest arguments]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${CALDRIS_TEST_BUILD:-$ROOT/build-tests}"

"$ROOT/scripts/setup.sh"

cmake -S "$ROOT" -B "$BUILD" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCALDRIS_BUILD_TESTS=ON >/dev/null
cmake --build "$BUILD"

. "$ROOT/scripts/wine-env.sh"
trap stop_wine_env EXIT
wine_prepare_prefix "$BUILD/wineprefix"
start_xvfb
start_wineserver

cd "$BUILD"
ctest --output-on-failure --timeout 300 -j "$(nproc)" "$@"
