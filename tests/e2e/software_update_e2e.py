#!/usr/bin/python3
"""End-to-end test of the software update with real X input: the local HTTPS
update server offers 1.0.2.0, the start-up check prompts, YES downloads the
signed release record and the package it names into the staging folder under
the program data folder, and the program starts the installer inside and ends
with code 0. A release that is missing, unsigned, older than the program or
without an installer is refused with a box, the staging folder goes, and the
program stays.

usage: software_update_e2e.py BUILD_DIR SOURCE_DIR
"""

import hashlib
import os
import shutil
import subprocess
import sys
import time
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from glimra_e2e import (WINE64, Session, capture_screen_rect, check, click_window, geometry, log,  # noqa: E402
                        only_window, run_test, wait_for, windows_path, work_dir)

OFFER = "1.0.2.0"
SCENARIO = 'device "Intel Core i7-12700K"\n  temp 0 11 "CPU Package" 45\n'
BOX_SIZE = (450, 280)
YES = (155, 225)  # the prompt's YES button, box client coordinates


def screenshot_box(s, label):
    box = wait_for("a message box", lambda: only_window("^MessageBox$"), 30, interval=0.3)
    x, y, _, _ = wait_for("the box's position", lambda: geometry(box), 5)
    path = os.path.join(s.artefacts, f"{label}.png")
    capture_screen_rect(x, y, *BOX_SIZE).save_png(path)
    log(f"{s.name}: saved {path}")
    return box


def answer_yes(s, label):
    screenshot_box(s, label)
    click_window("^MessageBox$", YES)
    wait_for("the prompt to close", lambda: only_window("^MessageBox$") is None, 10, interval=0.2)


class Server:
    def __init__(self, build, source):
        sys.path.insert(0, os.path.join(source, "tools", "updateserver"))
        import updateserver
        self.build, self.source = build, source
        self.state = os.path.join(work_dir(), "updateserver")
        self.root = os.path.join(work_dir(), "software-update-root")
        self.folder = os.path.join(self.root, "t51c", "software")
        shutil.rmtree(self.root, ignore_errors=True)
        os.makedirs(self.folder)
        updateserver.ensure_certificates(self.state)
        self.server = updateserver.UpdateServer(self.root, self.state).start()
        trusted = subprocess.run([WINE64, os.path.join(build, "bin", "trust-ca.exe"),
                                  windows_path(os.path.join(self.state, "ca.pem"))],
                                 capture_output=True, text=True, timeout=60, stdin=subprocess.DEVNULL)
        check(trusted.returncode == 0, f"trust-ca failed: {trusted.stderr}")

    def offer(self, entries, signed, version=OFFER):
        """The version file, a package of `entries` (name -> bytes) and its
        release record for `version`, signed or not."""
        for name in os.listdir(self.folder):
            os.remove(os.path.join(self.folder, name))
        with open(os.path.join(self.folder, "version"), "w") as f:
            f.write(OFFER)
        if entries is None:
            return
        package = os.path.join(self.folder, f"Software-{OFFER}.zip")
        with zipfile.ZipFile(package, "w", zipfile.ZIP_DEFLATED) as z:
            for name, data in entries.items():
                z.writestr(name, data)
        with open(package, "rb") as f:
            data = f.read()
        installer = entries.get(f"Software-{version}.exe", b"")
        record = os.path.join(self.folder, "release")
        with open(record, "w", newline="\n") as f:
            f.write(f"product=Vantrel Glimra\nversion={version}\npackage=Software-{version}.zip\n"
                    f"length={len(data)}\nsha256={hashlib.sha256(data).hexdigest()}\n"
                    f"installer=Software-{version}.exe\ninstaller-sha256={hashlib.sha256(installer).hexdigest()}\n"
                    f"issued=2026-12-07\n")
        if signed:
            subprocess.run([os.path.join(self.source, "scripts", "sign-update.sh"), record,
                            os.path.join(self.build, "update-keys", "test-update-key.pem")],
                           check=True, capture_output=True)


def download_folder(s):
    """The staging folder. Wine keeps no ACLs and reads back a descriptor the
    program refuses, so each session starts without it."""
    return os.path.join(os.environ["WINEPREFIX"], "drive_c", "ProgramData", "Vantrel Glimra Update")


def session(server, name, build):
    mark = os.path.join(build, "e2e-artifacts", name, "installer-ran.txt")
    s = Session(name, build, SCENARIO, update_server=server.server.url,
                program_env={"GLIMRA_TEST_INSTALLER_MARK": windows_path(mark)})
    s.mark = mark
    return s


def installs(server, build):
    with open(os.path.join(build, "bin", "standin_installer.exe"), "rb") as f:
        installer = f.read()
    server.offer({f"Software-{OFFER}.exe": installer, "readme.txt": b"stand-in package\r\n"}, signed=True)
    with session(server, "software_update", build) as s:
        shutil.rmtree(download_folder(s), ignore_errors=True)
        answer_yes(s, "prompt")
        wait_for("the installer to run", lambda: os.path.exists(s.mark), 60, interval=0.3)
        with open(s.mark, encoding="utf-8-sig") as f:
            check(f"Software-{OFFER}.exe" in f.read(), "another program ran")
        wait_for("the program to end", lambda: s.program.poll() is not None, 30, interval=0.3)
        check(s.program.returncode == 0, f"the program ended with {s.program.returncode}")
        check(os.path.isfile(os.path.join(download_folder(s), f"Software-{OFFER}.exe")),
              "the installer did not start from the staging folder")


def refused(server, build, name, entries, signed, left_in_folder, version=OFFER):
    server.offer(entries, signed, version)
    with session(server, f"software_update_{name}", build) as s:
        shutil.rmtree(download_folder(s), ignore_errors=True)
        answer_yes(s, "prompt")
        screenshot_box(s, "refusal")
        time.sleep(1)
        check(s.program.poll() is None, f"the program ended ({s.program.poll()}) though nothing was installed")
        check(not os.path.exists(s.mark), "an installer ran")
        folder = download_folder(s)
        found = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
        check(found == left_in_folder, f"the download folder holds {found}, expected {left_in_folder}")


def software_update(build, source):
    server = Server(build, source)
    try:
        installs(server, build)
        refused(server, build, "missing", None, signed=False, left_in_folder=[])
        refused(server, build, "unsigned", {f"Software-{OFFER}.exe": b"MZ"}, signed=False, left_in_folder=[])
        refused(server, build, "no_installer", {"readme.txt": b"no installer here\r\n"}, signed=True,
                left_in_folder=[])
        refused(server, build, "older", {"Software-1.0.0.0.exe": b"MZ"}, signed=True, left_in_folder=[],
                version="1.0.0.0")
    finally:
        server.server.shutdown()


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    return run_test(software_update, os.path.abspath(argv[1]), argv[2])


if __name__ == "__main__":
    sys.exit(main(sys.argv))
