#!/usr/bin/env python3
"""Which failed tests scripts/test.sh runs once more, and which passed then.

  test-retries.py retry JUNIT TESTS_JSON   prints the failed tests that may run
      again (end-to-end and installer tests whose failure was neither a crash
      nor a time-out), one a line; exits 1 if another test failed or did not
      run, saying why it stays a failure
  test-retries.py passed JUNIT NAME...     prints those of the names that passed

JUNIT is ctest's --output-junit report, TESTS_JSON `ctest --show-only=json-v1`.
Unit and integration tests never run again: a failure there is a failure.
"""

import json
import re
import sys
import xml.etree.ElementTree as ET

RETRIED_LABELS = {"e2e", "installer"}
# What wine-run.sh, the test programs' entry point and the end-to-end harness
# print when a program crashed, hung or was killed, and Wine's own report.
NO_RETRY = re.compile(r"^(CRASH: |HANG: |wine-run: |wine: Unhandled |Unhandled exception: )", re.M)


def cases(junit):
    for case in ET.parse(junit).getroot().iter("testcase"):
        status = case.get("status")
        skipped = case.find("skipped")
        if status == "notrun" and skipped is not None and skipped.get("message", "").startswith("SKIP_"):
            status = "skipped"
        yield case.get("name"), status, float(case.get("time") or 0), case.findtext("system-out") or ""


def properties(tests_json):
    with open(tests_json) as f:
        tests = json.load(f)["tests"]
    return {t["name"]: {p["name"]: p["value"] for p in t.get("properties", [])} for t in tests}


def retry(junit, tests_json):
    props = properties(tests_json)
    stays = False
    for name, status, seconds, output in cases(junit):
        if status in ("run", "skipped", "disabled"):
            continue
        labels = set(props.get(name, {}).get("LABELS", []))
        timeout = float(props.get(name, {}).get("TIMEOUT", 300))
        if status != "fail":
            why = "it did not run"
        elif not labels & RETRIED_LABELS:
            why = "a unit or integration test"
        elif seconds >= timeout - 1:
            why = "it timed out"
        elif NO_RETRY.search(output):
            why = "a program crashed, hung or was killed"
        else:
            print(name)
            continue
        print(f"[test] {name} failed and does not run again: {why}", file=sys.stderr)
        stays = True
    return 1 if stays else 0


def passed(junit, names):
    for name, status, _, _ in cases(junit):
        if status == "run" and name in names:
            print(name)


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "retry":
        sys.exit(retry(sys.argv[2], sys.argv[3]))
    elif len(sys.argv) >= 3 and sys.argv[1] == "passed":
        passed(sys.argv[2], set(sys.argv[3:]))
    else:
        sys.exit(__doc__)
