#!/bin/bash
# CMAKE_CROSSCOMPILING_EMULATOR: runs one Windows program under Wine, bounded in time.
# The program's output goes through files, not straight into the caller's pipe:
# a Wine service started on the way inherits the handles and outlives the
# program, and would otherwise keep the caller (ctest) waiting on the pipe.
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
timeout --kill-after=5 "${CALDRIS_WINE_TIMEOUT:-120}" /usr/lib/wine/wine64 "$@" >"$out" 2>"$err"
rc=$?
cat "$out"
cat "$err" >&2
exit $rc
