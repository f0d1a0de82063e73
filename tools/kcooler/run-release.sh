#!/bin/bash
# The release program from dist/, unmodified, against the kernel-level virtual
# cooler: a HID device in Wine's own stack (vcoolerhid.sys, driven by
# vcooler-stack.exe with the same cooler model as the link-time virtual
# cooler). The program finds it through hidapi, SetupAPI and hid.dll, and hears
# of plug and unplug from Wine's Plug and Play. Called by scripts/run.sh
# --release after the build; prints what the cooler shows once a second.
# The CPU temperature comes from a stand-in for HWiNFO's shared memory (the
# release program reads the machine only) that warms up and cools down.
# Usage: tools/kcooler/run-release.sh BUILD SECONDS FIRMWARE AUTO_UPGRADE [program arguments]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="$(cd "$1" && pwd)"
SECONDS_TO_RUN="$2"
FIRMWARE="$3"
AUTO_UPGRADE="$4"
shift 4
KDIR="$BUILD/kcooler"
PROGRAM_DIR="$BUILD/release-run"
SHOTS="$BUILD/screenshots"

"$ROOT/tools/kcooler/install-prefix.sh" "$KDIR" "$BUILD/wineprefix-stack"
. "$ROOT/scripts/wine-env.sh"
export WINEPREFIX="$BUILD/wineprefix-stack"

PROGRAM_PID="" HOST_PID="" SENSOR_PID=""
finish() {
  trap - EXIT INT TERM
  echo
  echo "[run] stopping"
  if [ -n "$PROGRAM_PID" ]; then kill "$PROGRAM_PID" 2>/dev/null || true; wait "$PROGRAM_PID" 2>/dev/null || true; fi
  if [ -n "$HOST_PID" ]; then
    timeout 20 "$WINE64" "$KDIR/vcooler.exe" stop >/dev/null 2>&1 || true
    wait "$HOST_PID" 2>/dev/null || true
  fi
  if [ -n "$SENSOR_PID" ]; then
    exec 7>&-
    wait "$SENSOR_PID" 2>/dev/null || true
  fi
  stop_wine_env
  echo "[run] program ended, device node removed, Wine stopped"
}
trap finish EXIT
trap 'exit 130' INT TERM

PRIVATE_DISPLAY=0
if [ -z "${DISPLAY:-}" ]; then
  start_xvfb
  PRIVATE_DISPLAY=1
  mkdir -p "$SHOTS"
  rm -f "$SHOTS"/screen-*.png
  echo "[run] no DISPLAY: private Xvfb $DISPLAY; screenshots go to $SHOTS"
fi
start_wineserver

export VCOOLER_CHANNEL="demo-$$"
vcooler() { timeout 20 "$WINE64" "$KDIR/vcooler.exe" "$@" 2>/dev/null | tr -d '\r' || true; }

# The host holds the channel and keeps a device node per plugged cooler.
"$WINE64" "$KDIR/vcooler-stack.exe" serve </dev/null >"$KDIR/host.log" 2>&1 &
HOST_PID=$!
for _ in $(seq 100); do
  vcooler plug --version "$FIRMWARE" >/dev/null
  vcooler status | grep -q "^cooler 0:" && break
  sleep 0.2
done
for _ in $(seq 150); do grep -q "created (0)" "$KDIR/host.log" 2>/dev/null && break; sleep 0.2; done
echo "[run] $(tr -d '\r' <"$KDIR/host.log" | tail -1)"
echo "[run] virtual cooler on channel $VCOOLER_CHANNEL: $(vcooler status)"

# HWiNFO's shared memory, stood in for: fed one temperature a second below.
coproc SENSOR { "$WINE64" "$KDIR/hwinfo-standin.exe" 38 2>/dev/null; }
SENSOR_PID=$SENSOR_PID
exec 7>&"${SENSOR[1]}"
eval "exec ${SENSOR[1]}>&-"
read -r _ <&"${SENSOR[0]}" || true
TEMPS=(38 41 45 49 54 58 63 67 71 74 76 74 70 65 60 55 50 46 42 39)

# The release program's own folder, with a firmware image carrying 0x13 beside it.
rm -rf "$PROGRAM_DIR"
cp -r "$BUILD/dist" "$PROGRAM_DIR"
vcooler write-image "Z:${PROGRAM_DIR//\//\\}\\update.bin" 0x13 >/dev/null
echo "[run] starting $BUILD/dist/Vantrel Glimra.exe (copied to $PROGRAM_DIR) against Wine's HID stack"
WINEDLLOVERRIDES="$WINEDLLOVERRIDES;cfgmgr32=n,b" "$WINE64" "$PROGRAM_DIR/Vantrel Glimra.exe" "$@" \
  </dev/null >"$BUILD/program-release.log" 2>&1 &
PROGRAM_PID=$!

tick=0
shot=0
while [ "$SECONDS_TO_RUN" -eq 0 ] || [ "$tick" -lt "$SECONDS_TO_RUN" ]; do
  sleep 1
  tick=$((tick + 1))
  if ! kill -0 "$PROGRAM_PID" 2>/dev/null; then
    wait "$PROGRAM_PID" && rc=0 || rc=$?
    PROGRAM_PID=""
    echo "[run] the program ended (exit code $rc)"
    break
  fi
  temp="${TEMPS[$((tick % ${#TEMPS[@]}))]}"
  echo "$temp" >&7
  read -r _ <&"${SENSOR[0]}" || true
  digits="$(vcooler digits 0)"
  case "$digits" in
    [0-9]\ [0-9]\ [0-9]) value="$(printf '%d' "$((10#${digits// /}))")" ;;
    *) value="$digits" ;;
  esac
  firmware="$(vcooler status | sed -n 's/^cooler 0: .* version \(0x[0-9a-f]*\) [a-z]* \([a-z-]*\) .*/\1 \2/p')"
  printf '[run] %3ds  cooler shows %-9s CPU %s°C  firmware %s\n' "$tick" "$value" "$temp" "${firmware:-?}"
  if [ "$AUTO_UPGRADE" -eq 1 ] && box="$(xdotool search --onlyvisible --name '^MessageBox$' 2>/dev/null | head -1)" &&
     [ -n "$box" ]; then
    sleep 0.5
    xdotool mousemove --sync --window "$box" 155 225 click 1
    AUTO_UPGRADE=0
    echo "[run] answered the firmware prompt with YES"
  fi
  if [ "$PRIVATE_DISPLAY" -eq 1 ] && [ $((tick % 5)) -eq 0 ]; then
    shot=$((shot + 1))
    import -window root "$(printf '%s/screen-%03d.png' "$SHOTS" "$shot")" 2>/dev/null || true
  fi
done
