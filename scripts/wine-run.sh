#!/bin/bash
# CMAKE_CROSSCOMPILING_EMULATOR: runs one Windows program under Wine, bounded in time.
exec timeout --kill-after=5 "${CALDRIS_WINE_TIMEOUT:-120}" /usr/lib/wine/wine64 "$@"
