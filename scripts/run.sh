#!/bin/bash
# Sets everything up, builds the program and runs it under Wine.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${CALDRIS_RUN_BUILD:-$ROOT/build-run}"

"$ROOT/scripts/setup.sh"
cmake -S "$ROOT" -B "$BUILD" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCALDRIS_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" --target dist

. "$ROOT/scripts/wine-env.sh"
trap stop_wine_env EXIT
wine_prepare_prefix "$BUILD/wineprefix"
if [ -z "${DISPLAY:-}" ]; then start_xvfb; echo "[run] no DISPLAY: using private Xvfb $DISPLAY"; fi
start_wineserver
echo "[run] starting $BUILD/dist/Vantrel Glimra.exe (Ctrl+C ends it)"
"$WINE64" "$BUILD/dist/Vantrel Glimra.exe" "$@"
