#!/bin/bash
# Figures for the update client against the local HTTPS server (not a test):
# DownloadFile of a 20 MB package against curl of the same file; then, on the
# whole program (the end-to-end story network_keeps_the_display): the first
# digits with a stalled server, the longest gap between display reports while
# a silent check stalls, a 20 MB package downloads and a server trickles, and
# the time from "Exit" during a download to the dark display.
# Usage: tools/updateserver/figures.sh [build dir]   (default build-tests; build
# the targets http_bench, trust_ca and the end-to-end programs first)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="$(cd "${1:-$ROOT/build-tests}" && pwd)"
. "$ROOT/scripts/wine-env.sh"
trap stop_wine_env EXIT
wine_prepare_prefix "$BUILD/wineprefix"
start_xvfb
start_wineserver

STATE="$BUILD/updateserver"
WITH="$ROOT/tools/updateserver/with-update-server.sh $STATE $BUILD/bin/trust-ca.exe"
BENCH="$BUILD/bin/http_bench.exe"
SIZE=$((20 * 1024 * 1024))
OUT="$(mktemp -d)"
trap 'rm -rf "$OUT"; stop_wine_env' EXIT

# shellcheck disable=SC2016
$WITH bash -c '
  for run in 1 2 3; do
    timeout 120 '"$WINE64"' '"$BENCH"' download "$GLIMRA_UPDATE_SERVER/fault/bytes/'"$SIZE"'" "Z:'"${OUT//\//\\\\}"'\\pkg.bin" </dev/null \
      | tr -d "\r" | sed "s/^/DownloadFile /"
    curl -s --cacert '"$STATE"'/ca.pem -o '"$OUT"'/curl.bin -w "curl rc 0 ms %{time_total} bytes %{size_download}\n" \
      "$GLIMRA_UPDATE_SERVER/fault/bytes/'"$SIZE"'" | awk "{ \$5 = \$5 * 1000; print }"
  done'

echo "the display beside the network (whole program):"
timeout 600 python3 "$ROOT/tests/e2e/update_e2e.py" network_keeps_the_display "$BUILD" "$ROOT" 2>&1 \
  | grep -E "FIGURE|FAIL" | sed "s/.*FIGURE //"
