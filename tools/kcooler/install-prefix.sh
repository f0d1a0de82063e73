#!/bin/bash
# Installs the kernel-level virtual cooler into a Wine test prefix (created if
# missing): the driver package the documented way (vcooler-stack install: a
# SetupAPI node, then UpdateDriverForPlugAndPlayDevicesW with vcoolerhid.inf),
# and the cfgmgr32 bridge in the prefix's system32 (loaded only by processes
# run with WINEDLLOVERRIDES=cfgmgr32=n,b). Idempotent: a prefix that holds
# these very files is left alone. For test prefixes only, never a user's.
# Usage: tools/kcooler/install-prefix.sh KCOOLER_DIR PREFIX
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
KDIR="$(cd "${1:?KCOOLER_DIR, the kcooler folder of a build}" && pwd)"
PREFIX="$(realpath -m "${2:?PREFIX}")"
. "$ROOT/scripts/wine-env.sh"
wine_prepare_prefix "$PREFIX"

STAMP="$WINEPREFIX/.vcooler-stack-installed"
WANT="$(cat "$KDIR/vcoolerhid.sys" "$KDIR/vcoolerhid.inf" "$KDIR/cfgmgr32.dll" | sha256sum | cut -d' ' -f1)"
if [ -f "$STAMP" ] && [ "$(cat "$STAMP")" = "$WANT" ]; then
  echo "[kcooler] $WINEPREFIX: driver and bridge already installed"
  exit 0
fi
# Wait for any session of the prefix to end: a running one keeps the old driver loaded.
"$WINESERVER" -w
SYS32="$WINEPREFIX/drive_c/windows/system32"
cp "$KDIR/cfgmgr32.dll" "$SYS32/cfgmgr32.dll"
# Wine's installer keeps a driver file that is already there: put the new one in place first.
mkdir -p "$SYS32/drivers"
cp "$KDIR/vcoolerhid.sys" "$SYS32/drivers/vcoolerhid.sys"
LOG="$KDIR/install.log"
timeout 180 "$WINE64" "$KDIR/vcooler-stack.exe" --channel install install </dev/null >"$LOG" 2>&1 || {
  echo "[kcooler] installing the driver package failed:" >&2
  tr -d '\r' <"$LOG" >&2
  exit 1
}
tr -d '\r' <"$LOG"
"$WINESERVER" -w
echo "$WANT" >"$STAMP"
echo "[kcooler] $WINEPREFIX: driver package and cfgmgr32 bridge installed"
