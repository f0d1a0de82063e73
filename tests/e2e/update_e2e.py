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
                        capture_screen_rect, centre, check, differing_fraction, log, wait_for, windows_path,
                        work_dir)

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
# A check that got no version file says so, with the reason.
CHECK_FAILED = ("Could not check for updates\n\n"
                "The update server could not be reached or gave no version file.")
VERSION_FILE = "/t51c/software/version"


class UpdateServer:
    """The local HTTPS server in this process, its CA trusted in the test prefix."""

    def __init__(self, build, source):
        sys.path.insert(0, os.path.join(source, "tools", "updateserver"))
        import updateserver
        state = os.path.join(work_dir(), "updateserver")
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

    def answer(self, window, point):
        """One click on a button of this very box, which must close; another
        box may open right after it (so the name alone cannot tell). A box
        that opened at start-up may be inactive: a click on its plain corner
        activates it first and does nothing else."""
        x, y, _, _ = self.geometry(window)
        subprocess.run(["xdotool", "mousemove", "--sync", str(x + 10), str(y + 10), "click", "1"], check=True)
        time.sleep(0.3)
        for dx in (0, 1):
            subprocess.run(["xdotool", "mousemove", "--sync", str(x + point[0] + dx), str(y + point[1])], check=True)
            time.sleep(0.3)
        subprocess.run(["xdotool", "click", "1"], check=True)
        gone = lambda: subprocess.run(["xdotool", "getwindowname", window], capture_output=True).returncode != 0  # noqa: E731
        wait_for("the box to close on one click of its button", gone, 10, interval=0.1)

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
            for label, mode, text in (("server_404", "status/404", CHECK_FAILED),
                                      ("offers_1.0.1.9", "text/1.0.1.9", LATEST_SOFTWARE)):
                server.answer(VERSION_FILE, mode)
                press(s, boxes, SOFTWARE_UPDATE)
                boxes.expect(0, SOFTWARE_CAPTION, text, label, OK_BUTTON)
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
        # box is that check's (no server: it could not check), and no firmware
        # prompt comes back.
        open_settings(s)
        press(s, boxes, SOFTWARE_UPDATE)
        boxes.expect(0, SOFTWARE_CAPTION, CHECK_FAILED, "software_after_no", OK_BUTTON)
        check(boxes.find() is None, "a second firmware prompt opened")


def firmware_boxes(build, source):
    """The firmware check's two answers besides the offer: the latest version,
    and a version the cooler does not tell (no offer then)."""
    with Session("firmware_boxes", build, SCENARIO, firmware="0x13") as s:
        boxes = Boxes(s)
        wait_pushing(s)
        open_settings(s)
        press(s, boxes, FIRMWARE_UPDATE)
        boxes.expect(0, FIRMWARE_CAPTION, "The Firmware is the latest version!", "firmware_latest", OK_BUTTON)
        s.vcooler("fault", "0", "fail-reads", "1000")
        press(s, boxes, FIRMWARE_UPDATE)
        boxes.expect(0, FIRMWARE_CAPTION, "The firmware version of the device could not be read.\n\n"
                     "Please reconnect the device and try again.", "firmware_unknown", OK_BUTTON)
        check(boxes.find() is None, "an offer followed the unknown version")
        check(s.wait_reports(s.last_sequence(), 1), "the display push stopped")


PACKAGE_FILE = "/t51c/software/Software-1.0.2.0.zip"


def offer_signed_record(server, build, source, length):
    """A release record for 1.0.2.0 whose package is `length` bytes, signed
    with the build's test key: the program downloads that much of the package
    (and then refuses it: the hashes are not the package's)."""
    folder = os.path.join(server.server.root, "t51c", "software")
    record = os.path.join(folder, "release")
    with open(record, "w", newline="\n") as f:
        f.write("product=Vantrel Glimra\nversion=1.0.2.0\npackage=Software-1.0.2.0.zip\n"
                f"length={length}\nsha256={'0' * 64}\ninstaller=Software-1.0.2.0.exe\n"
                f"installer-sha256={'0' * 64}\nissued=2026-12-07\n")
    subprocess.run([os.path.join(source, "scripts", "sign-update.sh"), record,
                    os.path.join(build, "update-keys", "test-update-key.pem")], check=True, capture_output=True)


def report_times(s, after):
    """Seconds (the cooler's clock) of the display reports after sequence `after`."""
    times = []
    for line in s.vcooler("log", str(after + 1)).splitlines():
        fields = line.split()
        if len(fields) >= 8 and fields[4] == "send" and fields[5] == "1" and fields[7].startswith("07ffff"):
            times.append(int(fields[1]) / 1e6)
    return times


def longest_gap(times):
    return max((b - a for a, b in zip(times, times[1:])), default=float("inf"))


def figure(text):
    log(f"FIGURE {text}")


def package_parts(prefix):
    """Package files anywhere in the prefix's drive C."""
    found = []
    for root, _, files in os.walk(os.path.join(prefix, "drive_c")):
        found += [os.path.join(root, f) for f in files if f.startswith("Software-1.0.2.0.zip")]
    return found


def network_keeps_the_display(build, source):
    """Version checks and downloads run beside the display push: a stalled or
    trickling server and a large download leave the cooler's reports at their
    pace, and "Exit" during a download ends it, deletes its part and darkens
    the cooler. Prints the figures (FIGURE lines)."""
    server = UpdateServer(build, source)
    prefix = os.environ["WINEPREFIX"]
    try:
        # (a) The start-up's silent check meets a server that sends headers, then nothing.
        server.answer(VERSION_FILE, "stall/100")
        with Session("network_stalled_start", build, SCENARIO, update_server=server.url) as s:
            wait_for("the first digits", lambda: s.digits() not in ("blank", "none", "unplugged"), 40, interval=0.1)
            first = s.seconds_since_start()
            figure(f"first digits {first:.2f} s after start, update server stalled")
            mark = s.last_sequence()
            time.sleep(5)
            times = report_times(s, mark)
            check(len(times) >= 3, f"{len(times)} display reports in 5 s while the check stalled")
            figure(f"(a) longest gap between display reports during a stalled silent check: {longest_gap(times):.3f} s")
        # (c) A version file one byte a second, asked for by the button.
        server.answer(VERSION_FILE, "trickle/1.0.1.9")
        with Session("network_trickle", build, SCENARIO, update_server=server.url) as s:
            boxes = Boxes(s)
            wait_pushing(s)
            open_settings(s)
            mark = s.last_sequence()
            press(s, boxes, SOFTWARE_UPDATE)  # the box comes once the seven bytes are in
            times = report_times(s, mark)
            check(len(times) >= 4, f"{len(times)} display reports while the version file trickled")
            figure(f"(c) longest gap between display reports while a server trickles one byte a second: "
                   f"{longest_gap(times):.3f} s")
            boxes.expect(0, SOFTWARE_CAPTION, LATEST_SOFTWARE, "after_trickle", OK_BUTTON)
        # (b) A 20 MB package (refused once in: not the one the record names).
        del server.server.rules[VERSION_FILE]
        offer_signed_record(server, build, source, 20 * 1024 * 1024)
        server.answer(PACKAGE_FILE, f"bytes/{20 * 1024 * 1024}")
        with Session("network_download", build, SCENARIO, update_server=server.url) as s:
            boxes = Boxes(s)
            offer = boxes.wait(60)
            boxes.picture(offer, "offer")
            mark = s.last_sequence()
            boxes.answer(offer, YES_BUTTON)
            window = boxes.wait(120)
            times = report_times(s, mark)
            boxes.picture(window, "not_verified")
            check(len(times) >= 2, f"{len(times)} display reports during the download")
            figure(f"(b) longest gap between display reports during a 20 MB download: {longest_gap(times):.3f} s "
                   f"({len(times)} reports)")
            boxes.click(OK_BUTTON)
        # Exit while a package trickles in.
        offer_signed_record(server, build, source, 600)
        server.answer(PACKAGE_FILE, "trickle/" + "x" * 600)
        with Session("network_exit_during_download", build, SCENARIO, update_server=server.url) as s:
            boxes = Boxes(s)
            boxes.answer(boxes.wait(60), YES_BUTTON)
            wait_for("the package's part", lambda: package_parts(prefix), 60, interval=0.2)
            time.sleep(2)
            check(s.digits() not in ("blank", "none"), "the cooler is dark before Exit")
            start = time.monotonic()
            s.wine(s.helper, "exit-program")
            wait_for("the dark display", lambda: s.digits() == "blank", 10, interval=0.05)
            dark = time.monotonic() - start
            wait_for("the program to end", lambda: s.program.poll() is not None, 10, interval=0.1)
            ended = time.monotonic() - start
            figure(f"Exit during a download: display dark after {dark:.2f} s, program ended after {ended:.2f} s")
            check(not package_parts(prefix), f"a part of the package is left: {package_parts(prefix)}")
    finally:
        for name in ("release", "release.sig"):
            path = os.path.join(server.server.root, "t51c", "software", name)
            if os.path.exists(path):
                os.remove(path)
        server.close()


CASES = {
    "software_prompts": software_prompts,
    "firmware_without_cooler": firmware_without_cooler,
    "firmware_prompt_no": firmware_prompt_no,
    "firmware_version_zero": firmware_version_zero,
    "firmware_boxes": firmware_boxes,
    "network_keeps_the_display": network_keeps_the_display,
}


def main(argv):
    return run_cases(CASES, argv, __doc__)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
