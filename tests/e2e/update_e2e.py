#!/usr/bin/python3
"""End-to-end tests of the update prompts: real X input against the
virtual-cooler build of the program under Wine, with the local HTTPS update
server (tools/updateserver) behind GLIMRA_UPDATE_SERVER.

The boxes' texts are drawn, so each box is compared with a reference picture of
the expected box that the same library draws in the helper (e2e_helper
show-box): the same text gives the same pixels.

usage: update_e2e.py CASE BUILD_DIR SOURCE_DIR
"""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from glimra_e2e import (run_cases, DEVICE, FIRMWARE_UPDATE, FW_VERSION, SOFTWARE_UPDATE, WINE64, is_ink, Session,  # noqa: E402
                        capture_screen_rect, centre, check, differing_fraction, log, wait_for, windows_path)

SCENARIO = """\
device "Intel Core i7-12700K"
  temp 0 11 "CPU Package" 40
"""
GEAR = (420, 26)
PARK = (30, 200)
BOX_SIZE = (450, 280)
NO_BUTTON = (295, 225)    # centre of "NO" (245, 210, 345, 240)
YES_BUTTON = (155, 225)   # centre of "YES"
OK_BUTTON = (225, 245)    # centre of "OK" (60, 230, 390, 260)

SOFTWARE_CAPTION = "Vantrel Glimra Software Updates"
FIRMWARE_CAPTION = "Vantrel Glimra Firmware Updates"
LATEST_SOFTWARE = "The software is the latest version!"
VERSION_FILE = "/t51c/software/version"


class UpdateServer:
    """The local HTTPS server in this process, its CA trusted in the test prefix."""

    def __init__(self, build, source):
        sys.path.insert(0, os.path.join(source, "tools", "updateserver"))
        import updateserver
        state = os.path.join(build, "updateserver")
        root = os.path.join(state, "root")
        updateserver.ensure_certificates(state)
        updateserver.write_demo_root(root, "1.0.2.0")
        self.server = updateserver.UpdateServer(root, state).start()
        result = subprocess.run([WINE64, os.path.join(build, "bin", "trust-ca.exe"),
                                 windows_path(self.server.ca_pem)], capture_output=True, text=True, timeout=60,
                                stdin=subprocess.DEVNULL)
        check(result.returncode == 0, f"trust-ca: {result.stderr.strip()}")
        self.url = self.server.url

    def answer(self, path, mode):
        self.server.rules[path] = mode

    def close(self):
        self.server.shutdown()
        self.server.server_close()


class Boxes:
    """The program's message boxes on the screen, and reference pictures of them."""

    def __init__(self, session):
        self.s = session
        self.shots = 0

    def find(self, name="^MessageBox$"):
        ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name], capture_output=True,
                             text=True).stdout.split()
        return ids[0] if ids else None

    def geometry(self, window):
        out = subprocess.run(["xdotool", "getwindowgeometry", window], capture_output=True, text=True).stdout
        pos = out.split("Position: ")[1].split()[0].split(",")
        size = out.split("Geometry: ")[1].split()[0].split("x")
        return int(pos[0]), int(pos[1]), int(size[0]), int(size[1])

    def wait(self, timeout=20, name="^MessageBox$"):
        return wait_for(f"a window named {name}", lambda: self.find(name), timeout, interval=0.2)

    def picture(self, window, label):
        # The pointer rests off the box, so no button shows its hover frame.
        subprocess.run(["xdotool", "mousemove", "--sync", "5", "5"], check=True)
        time.sleep(0.4)
        x, y, w, h = self.geometry(window)
        image = capture_screen_rect(x, y, w, h)
        self.shots += 1
        image.save_png(os.path.join(self.s.artefacts, f"{self.shots:02d}-{label}.png"))
        return image

    def click(self, point, name="^MessageBox$"):
        """One press and release over a button of the box; the box must close.
        The pointer goes by screen coordinates (the box's X window may be
        replaced once it is active) and arrives in two moves: the button takes a
        press only once it has seen the pointer arrive."""
        window = self.find(name)
        if window is None:
            return
        x, y, _, _ = self.geometry(window)
        for dx in (0, 1):
            subprocess.run(["xdotool", "mousemove", "--sync", str(x + point[0] + dx), str(y + point[1])], check=True)
            time.sleep(0.3)
        subprocess.run(["xdotool", "click", "1"], check=True)
        wait_for("the box to close on one click of its button", lambda: self.find(name) is None, 10, interval=0.2)

    def reference(self, mode, caption, text, label):
        """The box that the program's library draws for this text."""
        helper = subprocess.Popen([WINE64, self.s.helper, "show-box", str(mode), caption, text.replace("\n", "\\n")],
                                  env=self.s.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                  stdin=subprocess.DEVNULL, text=True)
        try:
            window = self.wait()
            image = self.picture(window, label + "-reference")
            self.click(OK_BUTTON if mode == 0 else NO_BUTTON)
            helper.wait(timeout=20)
        finally:
            if helper.poll() is None:
                helper.kill()
        return image

    def expect(self, mode, caption, text, label, answer):
        """Waits for the program's box, checks it against the reference, answers it."""
        window = self.wait()
        x, y, w, h = self.geometry(window)
        check((w, h) == BOX_SIZE, f"the box is {w} x {h}")
        shown = self.picture(window, label)
        self.click(answer)
        expected = self.reference(mode, caption, text, label)
        # The title and the message; the buttons may show a hover frame.
        rect = (0, 0, w, h - 80)
        diff = differing_fraction(shown, expected, rect, tolerance=8)
        check(diff == 0, f"the {label} box differs from one reading {text!r} in {diff:.2%} of its pixels")
        log(f"{self.s.name}: box reads {text!r}")


def press(s, boxes, button, name="^MessageBox$"):
    """One click on a button of the main window, which must open a box. The
    window may be inactive after a box closed: a click on plain background
    activates it first and does nothing else."""
    s.click(*PARK)
    s.click(*centre(button))
    return boxes.wait(20, name)


def wait_pushing(s):
    """The start-up queue has run when the cooler shows the CPU's 40 degrees."""
    wait_for("the cooler showing 40", lambda: s.digits() == "0 4 0", 40, interval=0.5)


def open_settings(s):
    """One click on the gear, which must show the settings page."""
    s.click(*PARK)
    s.click(*GEAR)
    s.move_to(*PARK)
    wait_for("the settings page after one click on the gear", lambda: s.capture().count(DEVICE, is_ink) > 0, 10,
             interval=0.3)


def software_prompts(build, source):
    server = UpdateServer(build, source)
    try:
        # Nothing to offer at start, so the silent check stays silent.
        server.answer(VERSION_FILE, "status/404")
        with Session("software_prompts", build, SCENARIO, update_server=server.url) as s:
            boxes = Boxes(s)
            wait_pushing(s)
            open_settings(s)
            for label, mode in (("server_404", "status/404"), ("offers_1.0.1.9", "text/1.0.1.9")):
                server.answer(VERSION_FILE, mode)
                press(s, boxes, SOFTWARE_UPDATE)
                boxes.expect(0, SOFTWARE_CAPTION, LATEST_SOFTWARE, label, OK_BUTTON)
            del server.server.rules[VERSION_FILE]  # the folder's own version file: 1.0.2.0
            press(s, boxes, SOFTWARE_UPDATE)
            boxes.expect(4, SOFTWARE_CAPTION, "Detected the latest version:v1.0.2.0, update now?", "offers_1.0.2.0",
                         NO_BUTTON)
            check(s.program.poll() is None, "the program ended")
    finally:
        server.close()


def firmware_without_cooler(build, source):
    with Session("firmware_without_cooler", build, SCENARIO, firmware=None) as s:
        boxes = Boxes(s)
        open_settings(s)
        window = press(s, boxes, FIRMWARE_UPDATE, "^Device Not Connected$")
        boxes.picture(window, "device_not_connected")
        subprocess.run(["xdotool", "key", "--window", window, "Return"], check=True)
        wait_for("the system box to close", lambda: boxes.find("^Device Not Connected$") is None, 10, interval=0.2)
        check(boxes.find() is None, "a prompt followed the system box")


def firmware_prompt_no(build, source):
    with Session("firmware_prompt_no", build, SCENARIO, firmware="0x11") as s:
        boxes = Boxes(s)
        prompt = "Detected the latest version:v13, update now?"
        # The start-up's silent check offers v13 by itself.
        boxes.expect(4, FIRMWARE_CAPTION, prompt, "at_start", NO_BUTTON)
        wait_pushing(s)  # the display push goes on
        open_settings(s)
        before = s.screenshot("settings_after_no")
        press(s, boxes, FIRMWARE_UPDATE)
        boxes.expect(4, FIRMWARE_CAPTION, prompt, "on_request", NO_BUTTON)
        s.move_to(*PARK)
        time.sleep(0.5)
        after = s.screenshot("settings_after_second_no")
        check(differing_fraction(before, after, FW_VERSION) == 0, "the firmware label changed")
        check(s.wait_reports(s.last_sequence(), 1), "the display push stopped")
        check(boxes.find("^UpdateProcessDlg$") is None, "a progress window opened after NO")


def firmware_version_zero(build, source):
    with Session("firmware_version_zero", build, SCENARIO, firmware="0x00") as s:
        boxes = Boxes(s)
        # The connect and the silent check both offer the upgrade; the second
        # arrives while the first box is open and is dropped.
        boxes.expect(4, FIRMWARE_CAPTION, "Detected the latest version:v13, update now?", "at_start", NO_BUTTON)
        # Both verdicts were posted long before a software check's: the next
        # box is that check's, and no firmware prompt comes back.
        open_settings(s)
        press(s, boxes, SOFTWARE_UPDATE)
        boxes.expect(0, SOFTWARE_CAPTION, LATEST_SOFTWARE, "software_after_no", OK_BUTTON)
        check(boxes.find() is None, "a second firmware prompt opened")


CASES = {
    "software_prompts": software_prompts,
    "firmware_without_cooler": firmware_without_cooler,
    "firmware_prompt_no": firmware_prompt_no,
    "firmware_version_zero": firmware_version_zero,
}


def main(argv):
    return run_cases(CASES, argv, __doc__)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
