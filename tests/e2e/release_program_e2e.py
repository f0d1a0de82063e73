#!/usr/bin/python3
"""End-to-end test of the release program (dist/) under Wine: it runs with
administrator rights, so nothing a process of the user's sets in its
environment may steer it. With GLIMRA_UPDATE_SERVER and GLIMRA_SENSOR_REPLAY
set, it still asks its built-in update host (a local HTTPS server on port
443: isolate.py gives the test a network and a hosts file of its own) and its
record carries the machine's values, not the scenario's.

usage: release_program_e2e.py BUILD_DIR SOURCE_DIR
"""

import json
import os
import subprocess
import sys
import time
import ssl
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from glimra_e2e import WINE64, Session, check, log, run_test, wait_for, windows_path, work_dir  # noqa: E402

UPDATE_HOST = "update.vantrel-glimra.com"
# A value no machine source delivers: seen in the record only if the scenario was played.
SCENARIO = 'device "Intel Core i7-12700K"\n  temp 0 11 "CPU Package" 77.5\n'


def start_update_server(build, source):
    sys.path.insert(0, os.path.join(source, "tools", "updateserver"))
    import updateserver
    state = os.path.join(work_dir(), "updateserver")
    root = os.path.join(state, "root")
    os.makedirs(root, exist_ok=True)
    updateserver.ensure_certificates(state)
    updateserver.write_demo_root(root, "1.0.2.0")
    server = updateserver.UpdateServer(root, state, port=443, host="127.0.0.1").start()
    return server, os.path.join(state, "ca.pem")


def last_request(ca):
    context = ssl.create_default_context(cafile=ca)
    with urllib.request.urlopen("https://localhost:443/_control/last", context=context, timeout=10) as r:
        return r.read().decode("utf-8", "replace")


def release_program(build, source):
    dist = os.path.join(os.path.abspath(build), "dist")
    check(os.path.exists(os.path.join(dist, "Vantrel Glimra.exe")), "dist/ is not built")
    check(subprocess.run(["getent", "hosts", UPDATE_HOST], capture_output=True, text=True).stdout.startswith(
        "127.0.0.1"), f"{UPDATE_HOST} does not resolve to 127.0.0.1 here")
    server, ca = start_update_server(build, source)
    try:
        # The server's CA in the prefix's store before the program's first request.
        trusted = subprocess.run([WINE64, os.path.join(build, "bin", "trust-ca.exe"), windows_path(ca)],
                                 capture_output=True, text=True, timeout=60, stdin=subprocess.DEVNULL)
        check(trusted.returncode == 0, f"trust-ca failed: {trusted.stderr}")
        with Session("release_program", build, SCENARIO, firmware=None, program_dir=dist) as s:
            log(f"environment: GLIMRA_UPDATE_SERVER={s.env['GLIMRA_UPDATE_SERVER']}, "
                f"GLIMRA_SENSOR_REPLAY={s.env['GLIMRA_SENSOR_REPLAY']}")
            # The start-up check asks the built-in host, not the environment's address.
            asked = wait_for("the built-in update host to be asked",
                             lambda: (lambda r: r if "/t51c/software/version" in r else None)(last_request(ca)),
                             60, interval=0.5)
            check("Host: update.vantrel-glimra.com" in asked, f"asked another host:\n{asked}")

            # Two sampling passes after the record exists: it holds machine values only.
            def record():
                out = subprocess.run([WINE64, os.path.join(dist, "glimra-diag.exe"), "record", "--json"], env=s.env,
                                     capture_output=True, text=True, timeout=30, stdin=subprocess.DEVNULL).stdout
                return json.loads(out) if out.strip().startswith("{") else None
            wait_for("the shared record", record, 60, interval=0.5)
            time.sleep(5)
            snapshot = record()["snapshot"]
            log(f"record: {snapshot}")
            check(abs(snapshot["cpu"] - 77.5) > 0.01, "the release program played the user's replay scenario")
    finally:
        server.shutdown()


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    return run_test(release_program, argv[1], argv[2])


if __name__ == "__main__":
    sys.exit(main(sys.argv))
