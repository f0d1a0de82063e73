#!/bin/bash
# Runs the gallery under Wine on a private Xvfb display and saves a PNG of its
# window. Usage: tools/gallery/screenshot.sh [build dir] [output.png]
# The build dir must hold a built target `gallery` (cmake --build <dir> --target gallery).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="$(cd "${1:-${CALDRIS_TEST_BUILD:-$ROOT/build-tests}}" && pwd)"
OUT="${2:-$BUILD/gallery.png}"
[ -f "$BUILD/bin/gallery.exe" ] || { echo "no $BUILD/bin/gallery.exe; build target gallery first" >&2; exit 1; }

. "$ROOT/scripts/wine-env.sh"
trap stop_wine_env EXIT
wine_prepare_prefix "$BUILD/wineprefix"
start_xvfb
start_wineserver

cd "$BUILD/bin"
timeout 60 "$WINE64" gallery.exe --exit-after 6000 &
GALLERY_PID=$!
WINDOW=""
for _ in $(seq 100); do
  WINDOW="$(xdotool search --name '^QLUI gallery$' 2>/dev/null | head -n 1 || true)"
  [ -n "$WINDOW" ] && break
  sleep 0.1
done
[ -n "$WINDOW" ] || { echo "the gallery window did not appear" >&2; exit 1; }
# Let the first paints and a few steps of the running bar happen.
sleep 2
import -window "$WINDOW" "$OUT"
wait "$GALLERY_PID" || true
echo "$OUT"
