#!/usr/bin/python3
"""End-to-end test of the firmware upgrade: real X input against the
virtual-cooler build of the program under Wine, a cooler with firmware 0x11 and
an image carrying 0x13 beside the program.

usage: firmware_e2e.py BUILD_DIR
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from glimra_e2e import (run_test, DEVICE, FIRMWARE_UPDATE, FW_VERSION, SW_VERSION, Session, as_read, capture_screen_rect,  # noqa: E402
                        centre, check, click_window, differing_fraction, geometry, learn_alphabet, log,
                        only_window, read_label, wait_for, windows_path)
from update_e2e import Boxes  # noqa: E402

SCENARIO = """\
device "Intel Core i7-12700K"
  temp 0 11 "CPU Package" 40
"""
GEAR = (420, 26)
PARK = (30, 200)
SW_TEXT = "SW Version: V1.0.1.9"
# The boot loader's wait, shortened for this test (the device tests run it at
# its full nine seconds); long enough to act while it runs.
WAIT_MS = 4500

# Client points of the message box (450 x 280) and rectangles of the progress window (360 x 120).
BOX_YES, BOX_NO, BOX_OK = (155, 225), (295, 225), (225, 245)
# The box's title and message; the buttons may show a hover frame.
BOX_TEXT = (0, 0, 450, 200)
UPGRADE_CAPTION = "Vantrel Glimra Firmware Upgrade"
UPGRADE_SUCCEEDED = "Firmware upgrade successful!\n\nDevice upgraded to latest version."
UPGRADE_DISCONNECTED = "Firmware upgrade failed!\n\nDevice disconnected during upgrade, please reconnect and retry."
PROGRESS_TEXT, PROGRESS_BAR = (10, 30, 340, 50), (10, 60, 340, 80)


def capture_window(window):
    return capture_screen_rect(*wait_for("the window's geometry", lambda: geometry(window), 5))


def drawn(window):
    """A new window shows black until its first paint: drawn when most of it is lit."""
    image = capture_window(window)
    lit = image.count((0, 0, image.width, image.height), lambda p: max(p) > 60)
    return lit > image.width * image.height // 2


def wait_box(s, what, timeout=30):
    box = wait_for(what, lambda: only_window("^MessageBox$"), timeout, interval=0.3)
    wait_for(f"{what} to be drawn", lambda: drawn(box), 15, interval=0.2)
    return box


def log_entries(s, after):
    """Every log entry after sequence number `after`: (seq, kind, ok, bytes)."""
    found = []
    for line in s.vcooler("log", str(after + 1)).splitlines():
        f = line.split()
        if len(f) >= 7 and int(f[0]) > after:
            found.append((int(f[0]), f[4], f[5] == "1", bytes.fromhex(f[7]) if len(f) > 7 else b""))
    return found


def command_sent(s, after):
    for seq, kind, ok, data in log_entries(s, after):
        if kind == "send" and ok and data[:3] == b"\x07\xee\xdd":
            return seq
    return None


def expected_reports(image):
    reports = []
    for offset in range(0x1000, 0x5EFF, 62):
        piece = image[offset:min(offset + 62, 0x5EFF)]
        reports.append(b"\x07" + piece + b"\xff" * (62 - len(piece)) + b"\x00")
    return reports


def settings_labels(s, fw_text):
    def read():
        image = s.capture()
        alphabet = learn_alphabet(image, SW_VERSION, SW_TEXT)
        got = read_label(image, FW_VERSION, alphabet)
        return image if got == as_read(fw_text, alphabet) and read_label(image, DEVICE, alphabet) == as_read(
            "Device:1", alphabet) else None
    return wait_for(f'"{fw_text}" on the settings page', read, 20, interval=0.5)


def accept_upgrade(s, label):
    """"Firmware update" on the settings page, then YES in its prompt."""
    s.click(*centre(FIRMWARE_UPDATE))
    prompt = wait_box(s, "the firmware prompt")
    capture_window(prompt).save_png(os.path.join(s.artefacts, f"{label}_prompt.png"))
    click_window("^MessageBox$", BOX_YES)
    # The result box is looked for next: the prompt must be gone first.
    wait_for("the prompt to close", lambda: only_window("^MessageBox$") != prompt, 10, interval=0.2)


def firmware_upgrade(build):
    with Session("firmware_upgrade", build, SCENARIO, firmware="0x11",
                 program_env={"GLIMRA_UPGRADE_WAIT_MS": str(WAIT_MS)}) as s:
        image_path = os.path.join(s.sim, "update.bin")
        s.vcooler("write-image", windows_path(image_path), "0x13")
        with open(image_path, "rb") as f:
            image = f.read()

        # The start-up check offers the upgrade by itself; decline it.
        wait_box(s, "the start-up firmware prompt", 40)
        click_window("^MessageBox$", BOX_NO)
        wait_for("the prompt to close", lambda: not only_window("^MessageBox$"), 10, interval=0.3)
        wait_for("the cooler showing the CPU", lambda: s.digits() == "0 4 0", 40, interval=0.5)
        s.click(*GEAR)
        s.move_to(*PARK)
        settings_labels(s, "FW Version: V11")

        # ---- a good upgrade
        mark = s.last_sequence()
        accept_upgrade(s, "success")
        progress = wait_for("the progress window", lambda: only_window("^UpdateProcessDlg$"), 15, interval=0.2)
        started = wait_for("the upgrade command", lambda: command_sent(s, mark), 15, interval=0.2)
        # The tray's "Exit" does nothing while the upgrade runs.
        s.wine(s.helper, "exit-program")
        frames = []
        while not only_window("^MessageBox$") and len(frames) < 60:
            try:
                frames.append(capture_window(progress))
            except Exception:  # the window went away between the lookup and the capture
                break
            time.sleep(0.2)
        check(len(frames) >= 3, f"only {len(frames)} pictures of the progress window")
        frames[1].save_png(os.path.join(s.artefacts, "progress_early.png"))
        frames[-1].save_png(os.path.join(s.artefacts, "progress_late.png"))
        for rect, what in ((PROGRESS_TEXT, "text"), (PROGRESS_BAR, "bar")):
            changes = sum(1 for a, b in zip(frames, frames[1:]) if differing_fraction(a, b, rect) > 0.002)
            check(changes >= 2, f"the progress {what} changed only {changes} times in {len(frames)} pictures")
        log(f"progress window: {len(frames)} pictures, text and bar moving")

        box = wait_box(s, "the result box")
        success = capture_window(box)
        success.save_png(os.path.join(s.artefacts, "result_success.png"))
        check(s.program.poll() is None, "Exit during the upgrade ended the program")
        entries = log_entries(s, started)
        data = [e for e in entries if e[1] == "send"][:327]
        check(len(data) == 327 and all(ok for _, _, ok, _ in data), "not 327 data reports accepted")
        check([d for _, _, _, d in data] == expected_reports(image), "the data reports differ from the image")
        between = [e for e in entries if e[0] <= data[-1][0]]
        check(len(between) == 327, f"{len(between) - 327} other reports or opens during the transfer")
        click_window("^MessageBox$", BOX_OK)
        wait_for("the progress window to close", lambda: not only_window("^UpdateProcessDlg$"), 10, interval=0.3)
        wait_for("the result box to close", lambda: not only_window("^MessageBox$"), 10, interval=0.3)

        # The cooler restarts with the image's version and is found again.
        s.move_to(*PARK)
        settings_labels(s, "FW Version: V13").save_png(os.path.join(s.artefacts, "settings_after_upgrade.png"))
        check("version 0x0013 plugged normal" in s.vcooler("status"), "the cooler does not run 0x13")
        wait_for("the display push to resume", lambda: s.digits() == "0 4 0", 10, interval=0.3)
        log("the cooler rejoined with 0x13; FW Version: V13")

        # ---- unplugged in the middle of the transfer
        s.vcooler("version", "0", "0x11")
        mark = s.last_sequence()
        accept_upgrade(s, "failure")
        started = wait_for("the upgrade command", lambda: command_sent(s, mark), 15, interval=0.2)
        # Nothing touches the cooler during the wait: the 151st data report unplugs it.
        s.vcooler("fault", "0", "unplug-after", "150")
        box = wait_box(s, "the result box")
        failure = capture_window(box)
        failure.save_png(os.path.join(s.artefacts, "result_failure.png"))
        sends = [e for e in log_entries(s, started) if e[1] == "send"]
        check([ok for _, _, ok, _ in sends] == [True] * 150 + [False],
              f"the transfer went on after the unplug: {len(sends)} sends")
        click_window("^MessageBox$", BOX_OK)
        wait_for("the progress window to close", lambda: not only_window("^UpdateProcessDlg$"), 10, interval=0.3)
        check(s.program.poll() is None, "the program ended")

        # Each result box reads its text: it equals the box the same library
        # draws for that text.
        boxes = Boxes(s)
        for shown, text, label in ((success, UPGRADE_SUCCEEDED, "result_success"),
                                   (failure, UPGRADE_DISCONNECTED, "result_failure")):
            expected = boxes.reference(0, UPGRADE_CAPTION, text, label)
            diff = differing_fraction(shown, expected, BOX_TEXT, tolerance=8)
            check(diff == 0, f"the {label} box differs from one reading {text!r} in {diff:.2%} of its pixels")
        log("unplugged after 150 data reports: the disconnect box")


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    return run_test(firmware_upgrade, argv[1])


if __name__ == "__main__":
    sys.exit(main(sys.argv))
