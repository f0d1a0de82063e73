#!/bin/bash
# Drives the virtual-cooler build of glimra-diag end to end: plugs a virtual
# cooler with firmware 0x13 through the control channel, lists it, reads its
# version (19), sends 45 and reads back the digits the cooler shows (0 4 5).
# Usage: tools/vcooler/diag-demo.sh [build dir]   (default: $CALDRIS_TEST_BUILD or build-tests)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${1:-${CALDRIS_TEST_BUILD:-$ROOT/build-tests}}"
BUILD="$(cd "$BUILD" && pwd)"
SIM="$BUILD/sim"
for f in glimra-diag.exe vcooler.exe; do
  [ -f "$SIM/$f" ] || { echo "missing $SIM/$f: build the targets glimra-diag-sim and vcooler_tool" >&2; exit 1; }
done

. "$ROOT/scripts/wine-env.sh"
WORK="$(mktemp -d)"
cleanup() {
  [ -n "${SERVE_PID:-}" ] && kill "$SERVE_PID" 2>/dev/null || true
  stop_wine_env
  rm -rf "$WORK"
}
trap cleanup EXIT
wine_prepare_prefix "$BUILD/wineprefix-demo"
start_xvfb
start_wineserver
export VCOOLER_CHANNEL="demo-$$"

run() { timeout 60 "$WINE64" "$@" </dev/null 2>&1 | tr -d '\r'; }
expect() {  # expect LABEL PATTERN TEXT
  if grep -qE "$2" <<<"$3"; then echo "ok: $1"; else echo "FAILED: $1 (wanted /$2/)" >&2; FAILED=1; fi
}
FAILED=0

# Something must keep the channel's shared memory open between the commands.
timeout 120 "$WINE64" "$SIM/vcooler.exe" serve </dev/null >"$WORK/serve.out" 2>&1 &
SERVE_PID=$!
for _ in $(seq 100); do grep -q serving "$WORK/serve.out" 2>/dev/null && break; sleep 0.1; done

echo "$ vcooler plug --version 0x13";   out=$(run "$SIM/vcooler.exe" plug --version 0x13); echo "$out"
echo "$ glimra-diag coolers";           out=$(run "$SIM/glimra-diag.exe" coolers); echo "$out"
expect "a cooler is listed" '^cooler 1a2c:434d' "$out"
expect "its display collection" 'usage page ff01 usage 0001  \[display\]' "$out"
echo "$ glimra-diag fwversion";         out=$(run "$SIM/glimra-diag.exe" fwversion); echo "$out"
expect "version 0x13 reads as 19" '^firmware version 19 \(0x0013\)' "$out"
echo "$ glimra-diag display 45";        out=$(run "$SIM/glimra-diag.exe" display 45); echo "$out"
expect "45 is sent" '^sent 07 ff ff 00 04 05 to 1 cooler' "$out"
echo "$ vcooler digits 0";              out=$(run "$SIM/vcooler.exe" digits 0); echo "$out"
expect "the cooler shows 0 4 5" '^0 4 5$' "$out"

run "$SIM/vcooler.exe" stop >/dev/null
wait "$SERVE_PID" || true
SERVE_PID=
[ "$FAILED" = 0 ] && echo "PASS" || { echo "FAIL"; exit 1; }
