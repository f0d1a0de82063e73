#!/bin/bash
# The extractor's long fuzz run. The suite runs 100 mutated archives; this runs
# as many as asked (default 20000), from another seed if given.
# Usage: tests/update/fuzz-extractor.sh [cases] [seed]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${CALDRIS_TEST_BUILD:-$ROOT/build-tests}"
cmake --build "$BUILD" --target update_tests

. "$ROOT/scripts/wine-env.sh"
trap stop_wine_env EXIT
wine_prepare_prefix "$BUILD/wineprefix"
start_wineserver

export GLIMRA_FUZZ_CASES="${1:-20000}"
if [ $# -ge 2 ]; then export GLIMRA_FUZZ_SEED="$2"; fi
CALDRIS_WINE_TIMEOUT="${CALDRIS_WINE_TIMEOUT:-14400}" "$ROOT/scripts/wine-run.sh" \
  "$BUILD/bin/update_tests.exe" --gtest_filter='HostileArchives.Fuzz*'
