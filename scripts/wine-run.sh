#!/bin/bash
# Runs one Windows program under Wine, bounded in time.
# Usage: wine-run.sh [--gtest] PROGRAM [ARGS...]
# With --gtest the program is a test program and its exit code alone does not
# decide: the run also fails when Wine reports an unhandled exception, when
# gtest's summary is missing or when gtest's premature-exit file is left behind
# (the process ended, with whatever code, before the tests had finished).
# The program's output goes through files, not straight into the caller's pipe:
# a Wine service started on the way inherits the handles and outlives the
# program, and would otherwise keep the caller (ctest) waiting on the pipe.
gtest=0
if [ "${1:-}" = "--gtest" ]; then gtest=1; shift; fi
out=$(mktemp) err=$(mktemp) premature=$(mktemp -u)
trap 'rm -f "$out" "$err" "$premature"' EXIT
if [ $gtest -eq 1 ]; then export TEST_PREMATURE_EXIT_FILE="Z:$premature"; fi
timeout --kill-after=5 "${CALDRIS_WINE_TIMEOUT:-120}" /usr/lib/wine/wine64 "$@" >"$out" 2>"$err"
rc=$?
cat "$out"
cat "$err" >&2
[ $gtest -eq 1 ] || exit $rc

fail() { echo "wine-run: $*" >&2; [ $rc -ne 0 ] || rc=1; }
if [ $rc -eq 124 ] || [ $rc -eq 137 ]; then fail "timed out after ${CALDRIS_WINE_TIMEOUT:-120} s"; fi
if grep -qE '^(wine: Unhandled exception|Unhandled exception: |wine: Unhandled page fault|CRASH: )' "$out" "$err"; then
  fail "the program crashed"
fi
if ! grep -qE '^\[==========\] [0-9]+ tests? from [0-9]+ test suites? ran\.' "$out"; then
  fail "no gtest summary: the program ended before its tests had finished"
fi
if [ -e "$premature" ]; then fail "gtest's premature-exit file is left: the program ended inside a test"; fi
exit $rc
