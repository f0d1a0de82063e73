#!/usr/bin/python3
"""End-to-end tests of the main window: real X input against the virtual-cooler
build of the program under Wine.

usage: main_window_e2e.py CASE BUILD_DIR SOURCE_DIR
"""

import os
import re
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from glimra_e2e import (run_cases, DEVICE, FAQ, FIRMWARE_UPDATE, FW_VERSION, LED, SETTINGS, SOFTWARE_UPDATE,  # noqa: E402
                        SOURCE, SW_VERSION, UNIT, HTTPS_HANDLER_KEY, WINE_BROWSER_HANDLER, Session, windows_path, TestFailure, centre, check, differing_fraction,
                        as_read, is_accent, is_ink, learn_alphabet, log, read_label, wait_for)

# CPU and GPU differ, and neither moves, so every report has one right answer.
SCENARIO = """\
device "Intel Core i7-12700K"
  temp 0 11 "CPU Package" 40
device "NVIDIA GeForce RTX 3080"
  temp 0 13 "GPU Temperature" 70
"""
CPU_C, CPU_F, GPU_C, DARK = (0, 4, 0), (1, 0, 4), (0, 7, 0), (0, 0, 0)

GEAR = (420, 26)
CLOSE_POINT = (464, 26)
PARK = (30, 200)            # in no control on either page
BACKGROUND_DRAG = (250, 70)  # plain background on the main page


def halves(rect):
    left, top, right, bottom = rect
    middle = (left + right) // 2
    return (left, top, middle, bottom), (middle, top, right, bottom)


def accent_side(image, rect):
    """'left' or 'right': which half of a two-state switch carries the accent."""
    left, right = (image.count(half, is_accent) for half in halves(rect))
    if left > 4 * max(right, 1):
        return "left"
    if right > 4 * max(left, 1):
        return "right"
    raise TestFailure(f"no clear accent side in {rect}: left {left}, right {right} accent pixels")


def check_main_page(image, unit, light, source):
    check(accent_side(image, UNIT) == ("left" if unit == "C" else "right"), f"unit picture does not show {unit}")
    check(accent_side(image, SOURCE) == ("left" if source == "CPU" else "right"),
          f"source picture does not show {source}")
    accent = image.count(LED, is_accent)
    if light:
        check(accent > 500, f"light picture shows off ({accent} accent pixels)")
    else:
        check(accent < 50, f"light picture shows on ({accent} accent pixels)")
    for rect in (SW_VERSION, DEVICE):
        check(image.count(rect, is_ink) == 0, f"a settings label shows on the main page in {rect}")


def check_settings_page(image):
    for name, rect in (("SW Version", SW_VERSION), ("FW Version", FW_VERSION), ("Device", DEVICE)):
        check(image.count(rect, is_ink) > 150, f'the "{name}" label has no black text in {rect}')
    # The unit and source pictures are hidden (the link picture's blue lies below y 220).
    for rect in ((UNIT[0], UNIT[1], UNIT[2], FAQ[1]), SOURCE):
        check(image.count(rect, is_accent) < 20, f"a main-page picture still shows in {rect}")
    for name, rect in (("Software update", SOFTWARE_UPDATE), ("Firmware update", FIRMWARE_UPDATE)):
        check(image.count(rect, lambda p: max(p) < 120) > 100, f'the "{name}" button shows no caption')


SW_TEXT = "SW Version: V1.0.1.9"


def check_labels(image, fw_text, device_text):
    alphabet = learn_alphabet(image, SW_VERSION, SW_TEXT)
    for rect, text in ((FW_VERSION, fw_text), (DEVICE, device_text)):
        got = read_label(image, rect, alphabet)
        check(got == as_read(text, alphabet), f"the label in {rect} reads {got!r}, not {as_read(text, alphabet)!r}")
    log(f'labels read "{SW_TEXT}", "{fw_text}", "{device_text}"')


def expect_reports(session, name, value, expected):
    """The setting is written, and the display report after the next one shows `expected`:
    a push that had read the old value may be on its way when the click lands."""
    session.wait_setting(name, value)
    mark = session.last_sequence()
    reports = session.wait_reports(mark, 2)
    check(reports[1][1] == expected, f'after "{name}" = "{value}" the cooler got {reports} (want {expected})')
    log(f'"{name}" = "{value}": reports {[r[1] for r in reports]}')


def start_pushing(session):
    wait_for("the cooler showing the CPU in Celsius", lambda: session.digits() == "0 4 0", 40, interval=0.5)


def main_page_switches(build):
    with Session("main_page_switches", build, SCENARIO) as s:
        start_pushing(s)
        s.move_to(*PARK)
        check_main_page(s.screenshot("main_page"), unit="C", light=True, source="CPU")

        s.click(*centre(UNIT))
        expect_reports(s, "tempe_type", "1", CPU_F)
        s.move_to(*PARK)
        check_main_page(s.screenshot("main_page_fahrenheit"), unit="F", light=True, source="CPU")
        s.click(*centre(UNIT))
        expect_reports(s, "tempe_type", "0", CPU_C)

        s.click(*centre(SOURCE))
        expect_reports(s, "device_type", "1", GPU_C)
        s.move_to(*PARK)
        check_main_page(s.capture(), unit="C", light=True, source="GPU")
        s.click(*centre(SOURCE))
        expect_reports(s, "device_type", "0", CPU_C)

        s.click(*centre(LED))
        expect_reports(s, "led_switch", "2", DARK)
        check(s.digits() == "blank", f"the display is not dark: {s.digits()}")
        s.move_to(*PARK)
        check_main_page(s.screenshot("main_page_light_off"), unit="C", light=False, source="CPU")
        s.click(*centre(LED))
        expect_reports(s, "led_switch", "1", CPU_C)


def product_web_page(source):
    with open(os.path.join(source, "app", "base", "ProductName.h")) as f:
        match = re.search(r'kProductWebPage\[\]\s*=\s*L"([^"]+)"', f.read())
    check(match is not None, "no kProductWebPage in ProductName.h")
    return match.group(1)


def settings_page(build, source):
    with Session("settings_page", build, SCENARIO) as s:
        # The web address's handler stands in for the browser and records who
        # started it: the desktop shell, never the elevated program itself.
        opened = os.path.join(s.artefacts, "opened.txt")
        handler = f'"{windows_path(s.helper)}" record-launch "{windows_path(opened)}" "%1"'
        s.wine("reg", "add", HTTPS_HANDLER_KEY, "/ve", "/d", handler, "/f")
        try:
            start_pushing(s)
            s.move_to(*PARK)
            # The reference picture once no hover frame is left from where the pointer was.
            main = s.screenshot("main_settled", settled_in=(SETTINGS,))

            s.click(*GEAR)
            s.move_to(*PARK)
            settings = wait_for("the settings page", lambda: (lambda i: i if i.count(SW_VERSION, is_ink) else None)(
                s.capture()), 10, interval=0.3)
            settings = s.screenshot("settings_page")
            check_settings_page(settings)
            check(differing_fraction(main, settings, SETTINGS) > 0.05, "the gear did not turn into the return button")
            check_labels(settings, "FW Version: V13", "Device:1")

            # The main page's pictures do nothing here.
            mark = s.last_sequence()
            for point in ((70, 28), (100, 150), (250, 295)):
                s.click(*point)
            reports = s.wait_reports(mark, 2)
            check(all(r[1] == CPU_C for r in reports), f"a swallowed click changed the display: {reports}")
            for name, value in (("led_switch", "1"), ("device_type", "0"), ("tempe_type", "0")):
                check(s.reg_get(name) == value, f'"{name}" changed to {s.reg_get(name)}')
            s.move_to(*PARK)
            after = s.capture()
            for rect in (SW_VERSION, FW_VERSION, DEVICE, UNIT, SOURCE):
                check(differing_fraction(settings, after, rect) < 0.01, f"a swallowed click changed {rect}")

            # Where the link picture and the unit picture overlap, the unit picture
            # wins and does nothing; only the strip below opens the web page.
            strip = (250, (FAQ[1] + UNIT[3]) // 2)
            lower = (250, (UNIT[3] + FAQ[3]) // 2)
            s.click(*strip)
            s.click(*lower)
            wait_for("the web page to open", lambda: os.path.exists(opened), 30, interval=0.3)
            time.sleep(2)  # a second opening, if any, would be on its way by now
            with open(opened, encoding="utf-8-sig") as f:
                launches = [line.rstrip("\n").split("\t") for line in f]
            check([address for _, address in launches] == [product_web_page(source)], f"opened {launches}")
            check(launches[0][0].lower() == "explorer.exe", f"started by {launches[0][0]}, not the desktop shell")

            s.click(*GEAR)
            s.move_to(*PARK)
            back = wait_for("the main page", lambda: (lambda i: i if not i.count(SW_VERSION, is_ink) else None)(
                s.capture()), 10, interval=0.3)
            # The gear may still show its hover frame until the window has seen
            # the pointer leave: compare again until it settles.
            def same_as_before():
                image = s.capture()
                return all(differing_fraction(main, image, rect) < 0.02 for rect in (SETTINGS, UNIT, LED, SOURCE))
            try:
                wait_for("the main page as it was", same_as_before, 10, interval=0.3)
            finally:
                back = s.screenshot("main_page_again")
            check_main_page(back, unit="C", light=True, source="CPU")
            for rect in (SETTINGS, UNIT, LED, SOURCE):
                check(differing_fraction(main, back, rect) < 0.02, f"the main page differs in {rect}")
        finally:
            s.wine("reg", "add", HTTPS_HANDLER_KEY, "/ve", "/d", WINE_BROWSER_HANDLER, "/f", check_rc=False)


def hot_plug(build):
    with Session("hot_plug", build, SCENARIO) as s:
        start_pushing(s)
        s.click(*GEAR)
        s.move_to(*PARK)
        plugged = wait_for("the settings page", lambda: (lambda i: i if i.count(DEVICE, is_ink) else None)(
            s.capture()), 10, interval=0.3)
        plugged = s.screenshot("settings_plugged")
        check_labels(plugged, "FW Version: V13", "Device:1")

        s.vcooler("unplug", "0")
        wait_for("the labels to change", lambda: (lambda i: i if differing_fraction(
            plugged, i, DEVICE) > 0.005 and differing_fraction(plugged, i, FW_VERSION) > 0.005 else None)(
            s.capture()), 15, interval=0.3)
        unplugged = s.screenshot("settings_unplugged", settled_in=(DEVICE, FW_VERSION))
        check(s.digits() == "unplugged", f"digits: {s.digits()}")
        check_labels(unplugged, "FW Version: 0", "Device:0")
        check(differing_fraction(plugged, unplugged, SW_VERSION) == 0, "the software version label changed")

        s.vcooler("replug", "0")
        wait_for("the labels to come back", lambda: differing_fraction(plugged, s.capture(), DEVICE) == 0 and
                 differing_fraction(plugged, s.capture(), FW_VERSION) == 0, 15, interval=0.3)
        wait_for("the display to resume", lambda: s.digits() == "0 4 0", 10, interval=0.3)
        check_labels(s.screenshot("settings_replugged"), "FW Version: V13", "Device:1")


def push_stopped(session):
    """Nothing reached the cooler for longer than a push period."""
    before = session.last_sequence()
    time.sleep(2.5)
    return session.last_sequence() == before


def recovery_story(build):
    """Plugged, stale after a simulated resume, recovered, unplugged without a notice, replugged."""
    with Session("recovery_story", build, SCENARIO) as s:
        start_pushing(s)
        s.click(*GEAR)
        s.move_to(*PARK)
        plugged = wait_for("the settings page", lambda: (lambda i: i if i.count(DEVICE, is_ink) else None)(
            s.capture()), 10, interval=0.3)
        check_labels(plugged, "FW Version: V13", "Device:1")

        # Asleep: the cooler lost power and the handles died; the system wakes up.
        s.vcooler("stale", "0")
        check(s.digits() == "blank", f"digits after the power loss: {s.digits()}")
        s.wine(s.helper, "resume")
        wait_for("the display after the resume", lambda: s.digits() == "0 4 0", 10, interval=0.1)

        # Gone without a removal notice: the push stops and the labels say so.
        s.vcooler("unplug", "0", "--silent")
        wait_for("the push to stop", lambda: push_stopped(s), 30, interval=0.1)
        wait_for("the labels to change", lambda: differing_fraction(plugged, s.capture(), DEVICE) > 0.005, 15,
                 interval=0.3)
        check_labels(s.screenshot("settings_silently_unplugged", settled_in=(DEVICE, FW_VERSION)), "FW Version: 0",
                     "Device:0")

        # Back, with its notices.
        s.vcooler("replug", "0")
        wait_for("the display to resume", lambda: s.digits() == "0 4 0", 10, interval=0.3)
        wait_for("the labels to come back", lambda: differing_fraction(plugged, s.capture(), DEVICE) == 0 and
                 differing_fraction(plugged, s.capture(), FW_VERSION) == 0, 15, interval=0.3)


def close_and_tray(build):
    with Session("close_and_tray", build, SCENARIO) as s:
        start_pushing(s)
        # The re-add timer moves the window to the corner ten seconds after start;
        # let it pass so that only the tray click can put the window back.
        time.sleep(max(0.0, 11.5 - s.seconds_since_start()))
        start = s.window_position()
        s.click(*BACKGROUND_DRAG)  # a click on plain background does nothing but activate the window
        s.drag(*BACKGROUND_DRAG, -500, -400)
        moved = s.window_position()
        check(moved == (start[0] - 500, start[1] - 400), f"drag moved the window from {start} to {moved}")

        s.click(*CLOSE_POINT)
        wait_for("the window to hide", lambda: not s.viewable(), 10, interval=0.2)
        time.sleep(0.5)
        check(s.program.poll() is None, "the program ended on close")

        s.click_tray_icon()
        wait_for("the window to show", s.viewable, 10, interval=0.2)
        left, top, right, bottom = s.work_area()
        corner = (right - 502, bottom - 352)
        wait_for(f"the window at {corner}", lambda: s.window_position() == corner, 5, interval=0.2)
        s.move_to(*PARK)
        check_main_page(s.screenshot("after_tray_click"), unit="C", light=True, source="CPU")

        # The tray menu's "Exit" ends the program with exit code 0.
        check(not s.menu_open(), "a menu shows before the right click")
        s.click_tray_icon(button=3)
        wait_for("the tray menu", s.menu_open, 10, interval=0.2)
        s.click_menu_item(0)
        code = s.program.wait(timeout=15)
        check(code == 0, f"Exit ended the program with {code}")
        check(s.digits() == "blank", f"the display still shows {s.digits()} after Exit")


CASES = {
    "main_page_switches": lambda build, source: main_page_switches(build),
    "settings_page": settings_page,
    "hot_plug": lambda build, source: hot_plug(build),
    "close_and_tray": lambda build, source: close_and_tray(build),
    "recovery_story": lambda build, source: recovery_story(build),
}


def main(argv):
    return run_cases(CASES, argv, __doc__)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
