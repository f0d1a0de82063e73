#!/bin/bash
# Sets everything up, builds the program and runs its virtual-cooler build under
# Wine: a virtual cooler (firmware 0x13 unless --firmware says) is plugged in and its seven-segment
# display shows in a window of its own; the temperatures come from the host's
# hwmon when it has temperature inputs, else from a replay scenario that rises
# and falls. Uses $DISPLAY when set, else a private Xvfb whose screen is saved
# every few seconds. Prints what the cooler shows once a second. Ctrl+C ends it.
# A firmware image carrying 0x13 ("update.bin") lies beside the program, so an
# older cooler can be upgraded from the program's own prompt.
#
# With GLIMRA_UPDATE_SERVER set to the local update server
# (tools/updateserver/updateserver.py), its CA is trusted in the run's prefix
# and the program's update checks go there.
#
# Usage: scripts/run.sh [--seconds N] [--firmware VERSION] [--upgrade] [--release] [program arguments, e.g. -hide]
#   --firmware 0x11  plug a cooler with older firmware: the program offers the upgrade
#   --upgrade        the same, and answer the prompt with YES by itself (xdotool)
#   --release        the release program from dist/, unmodified, against the
#                    kernel-level virtual cooler in Wine's own HID stack
#                    (tools/kcooler/run-release.sh, tools/kcooler/README.md)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${CALDRIS_RUN_BUILD:-$ROOT/build-run}"

SECONDS_TO_RUN=0
FIRMWARE=0x13
AUTO_UPGRADE=0
RELEASE=0
PROGRAM_ARGS=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) SECONDS_TO_RUN="${2:?--seconds needs a number}"; shift 2 ;;
    --seconds=*) SECONDS_TO_RUN="${1#--seconds=}"; shift ;;
    --firmware) FIRMWARE="${2:?--firmware needs a version, e.g. 0x11}"; shift 2 ;;
    --firmware=*) FIRMWARE="${1#--firmware=}"; shift ;;
    --upgrade) AUTO_UPGRADE=1; [ "$FIRMWARE" = 0x13 ] && FIRMWARE=0x11; shift ;;
    --release) RELEASE=1; shift ;;
    *) PROGRAM_ARGS+=("$1"); shift ;;
  esac
done

"$ROOT/scripts/setup.sh"
cmake -S "$ROOT" -B "$BUILD" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCALDRIS_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" --target dist CaldrisSim vcooler_tool glimra-diag-sim trust_ca
if [ "$RELEASE" -eq 1 ]; then
  cmake --build "$BUILD" --target vcooler_stack
  exec "$ROOT/tools/kcooler/run-release.sh" "$BUILD" "$SECONDS_TO_RUN" "$FIRMWARE" "$AUTO_UPGRADE" "${PROGRAM_ARGS[@]}"
fi

SIM="$BUILD/sim"
SHOTS="$BUILD/screenshots"
. "$ROOT/scripts/wine-env.sh"

PROGRAM_PID=""
WINDOW_PID=""
SCENARIO=""
finish() {
  trap - EXIT INT TERM
  echo
  echo "[run] stopping"
  if [ -n "$PROGRAM_PID" ]; then kill "$PROGRAM_PID" 2>/dev/null || true; wait "$PROGRAM_PID" 2>/dev/null || true; fi
  if [ -n "$WINDOW_PID" ]; then
    timeout 20 "$WINE64" "$SIM/vcooler.exe" stop >/dev/null 2>&1 || true
    wait "$WINDOW_PID" 2>/dev/null || true
  fi
  stop_wine_env
  [ -n "$SCENARIO" ] && rm -f "$SCENARIO"
  echo "[run] program ended, cooler channel closed, Wine stopped"
}
trap finish EXIT
trap 'exit 130' INT TERM

wine_prepare_prefix "$BUILD/wineprefix"
PRIVATE_DISPLAY=0
if [ -z "${DISPLAY:-}" ]; then
  start_xvfb
  start_window_manager
  PRIVATE_DISPLAY=1
  mkdir -p "$SHOTS"
  rm -f "$SHOTS"/screen-*.png
  echo "[run] no DISPLAY: private Xvfb $DISPLAY; screenshots go to $SHOTS"
fi
start_wineserver

# The sensor source: the host's hwmon through Wine, else a replayed scenario.
if ls /sys/class/hwmon/hwmon*/temp*_input >/dev/null 2>&1; then
  echo "[run] sensors: the host's hwmon"
else
  SCENARIO="$(mktemp /tmp/glimra-scenario-XXXXXX.txt)"
  cat >"$SCENARIO" <<'EOF'
# A CPU that warms up under load and cools down again, and a calmer GPU; the
# sensor library plays one step per refresh.
device "Intel Core i7-12700K"
  temp 0 11 "CPU Package" 38,41,45,49,54,58,63,67,71,74,76,74,70,65,60,55,50,46,42,39
  load 0 11 "CPU Total" 8,15,30,48,62,75,84,90,95,97,98,96,80,62,45,32,22,15,10,8
device "NVIDIA GeForce RTX 3080"
  temp 0 13 "GPU Temperature" 44,45,47,49,52,55,57,59,60,61,61,60,58,56,53,50,48,46,45,44
EOF
  export GLIMRA_SENSOR_REPLAY="Z:${SCENARIO//\//\\}"
  echo "[run] sensors: replay scenario $SCENARIO (no temperature inputs in /sys/class/hwmon)"
fi

export VCOOLER_CHANNEL="demo-$$"
export GLIMRA_UPDATE_SERVER="${GLIMRA_UPDATE_SERVER:-http://127.0.0.1:9}"  # no update server unless one is named
UPDATE_CA="${GLIMRA_UPDATE_CA:-$ROOT/tools/updateserver/.state/ca.pem}"
if [[ "$GLIMRA_UPDATE_SERVER" == https://* ]] && [ -f "$UPDATE_CA" ]; then
  timeout 60 "$WINE64" "$BUILD/bin/trust-ca.exe" "Z:${UPDATE_CA//\//\\}" </dev/null >/dev/null 2>&1 &&
    echo "[run] update server $GLIMRA_UPDATE_SERVER, CA $UPDATE_CA trusted" ||
    echo "[run] could not trust $UPDATE_CA; the update checks will fail" >&2
fi
vcooler() { timeout 20 "$WINE64" "$SIM/vcooler.exe" "$@" 2>/dev/null | tr -d '\r' || true; }

# The display window keeps the cooler channel open; plug once it holds it.
"$WINE64" "$SIM/vcooler.exe" window </dev/null >/dev/null 2>&1 &
WINDOW_PID=$!
for _ in $(seq 100); do
  vcooler plug --version "$FIRMWARE" >/dev/null
  vcooler status | grep -q "^cooler 0:" && break
  sleep 0.2
done
echo "[run] virtual cooler on channel $VCOOLER_CHANNEL: $(vcooler status)"
# The image the program upgrades the cooler from, beside the program.
vcooler write-image "Z:${SIM//\//\\}\\update.bin" 0x13 >/dev/null
echo "[run] firmware image: $SIM/update.bin (version 0x13)"

echo "[run] starting $SIM/Vantrel Glimra.exe ${PROGRAM_ARGS[*]:-} (Ctrl+C ends it)"
"$WINE64" "$SIM/Vantrel Glimra.exe" "${PROGRAM_ARGS[@]}" </dev/null >"$BUILD/program.log" 2>&1 &
PROGRAM_PID=$!

setting() {
  timeout 20 "$WINE64" reg query 'HKCU\Software\Vantrel Glimra' /v "$1" 2>/dev/null | tr -d '\r' |
    awk -v n="$1" '$1 == n { print $3 }' || true
}

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
  digits="$(vcooler digits 0)"
  case "$digits" in
    [0-9]\ [0-9]\ [0-9]) value="$(printf '%d' "$((10#${digits// /}))")" ;;
    *) value="$digits" ;;
  esac
  unit="°C"; [ "$(setting tempe_type)" = "1" ] && unit="°F"
  source="CPU"; [ "$(setting device_type)" = "1" ] && source="GPU"
  light="on"; [ "$(setting led_switch)" = "2" ] && light="off"
  firmware="$(vcooler status | sed -n 's/^cooler 0: .* version \(0x[0-9a-f]*\) [a-z]* \([a-z-]*\) .*/\1 \2/p')"
  printf '[run] %3ds  cooler shows %-9s unit %s  source %s  light %s  firmware %s\n' "$tick" "$value" "$unit" "$source" \
    "$light" "${firmware:-?}"
  # --upgrade: YES in the firmware prompt ("MessageBox", 450 x 280; YES at 155, 225).
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
