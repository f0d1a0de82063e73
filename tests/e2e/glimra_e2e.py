"""Drives the virtual-cooler build of the program under Wine through real X input.

A Session holds the cross-process test locks, resets the settings, plugs a
virtual cooler on a channel of its own, starts the program with a replay
scenario, and always ends the program (the tray's "Exit", else a kill), the
channel and the locks. Pixels come from the X server (ImageMagick's `import`);
input goes through xdotool. Wine, the prefix and the display come from the
environment that scripts/test.sh sets up.
"""

import ctypes
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import time
import zlib

WINE64 = "/usr/lib/wine/wine64"
SETTINGS_KEY = r"HKCU\Software\Vantrel Glimra"
# How a web address is opened, and Wine's own handler to put back.
HTTPS_HANDLER_KEY = r"HKLM\Software\Classes\https\shell\open\command"
WINE_BROWSER_HANDLER = r'"C:\windows\system32\winebrowser.exe" "%1"'
DEAD_UPDATE_SERVER = "http://127.0.0.1:9"
# How Wine and its debugger report an unhandled exception.
CRASH_LINE = re.compile(r"^(wine: Unhandled |Unhandled exception: )")
DEFAULT_SETTINGS = {"led_switch": "1", "device_type": "0", "tempe_type": "0"}

# Client rectangles of the main window (left, top, right, bottom; exclusive).
CLOSE = (451, 14, 477, 39)
SETTINGS = (406, 12, 434, 40)
UNIT = (84, 106, 417, 245)
LED = (24, 12, 117, 43)
SOURCE = (205, 289, 296, 317)
FAQ = (140, 220, 365, 280)
SW_VERSION = (110, 70, 410, 95)
FW_VERSION = (140, 120, 390, 145)
DEVICE = (195, 170, 420, 195)
SOFTWARE_UPDATE = (120, 300, 240, 330)
FIRMWARE_UPDATE = (265, 300, 385, 330)
WINDOW_SIZE = (500, 350)


class TestFailure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise TestFailure(message)


def log(message):
    print(f"[e2e {time.strftime('%H:%M:%S')}] {message}", flush=True)


def wait_for(what, predicate, timeout, interval=0.1):
    """Polls predicate until it returns something true; fails after timeout seconds."""
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > end:
            raise TestFailure(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def run_test(test, *args):
    """Runs one test as the test program's whole work: 0 passed, 1 failed."""
    started = time.monotonic()
    try:
        test(*args)
    except TestFailure as failure:
        log(f"FAILED: {failure}")
        return 1
    log(f"passed in {time.monotonic() - started:.1f} s")
    return 0


def run_cases(cases, argv, usage):
    """The whole work of a test program with several cases: CASE BUILD_DIR SOURCE_DIR."""
    if len(argv) != 4 or argv[1] not in cases:
        print(usage, file=sys.stderr)
        print("cases: " + ", ".join(cases), file=sys.stderr)
        return 2
    return run_test(cases[argv[1]], argv[2], argv[3])


def work_dir():
    """The folder this test keeps to itself (isolate.py makes it)."""
    work = os.environ.get("E2E_WORK")
    check(work is not None and os.path.isdir(work), "no E2E_WORK: run the test through ctest (tests/e2e/isolate.py)")
    return work


def start_display():
    """A private Xvfb display for this process's children: (process, ":N").
    The server picks a free display itself (-displayfd), so concurrent tests
    never share one, and it dies with this process."""
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1920x1080x24", "-nolisten", "tcp"],
                            pass_fds=(write,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, preexec_fn=_die_with_parent)
    os.close(write)
    with os.fdopen(read) as f:
        number = f.readline().strip()
    check(number.isdigit(), "Xvfb did not start")
    return xvfb, f":{number}"


def _die_with_parent():
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def only_window(name):
    """The X id of the one visible window whose name matches the regular expression, else None."""
    ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name], capture_output=True, text=True,
                         timeout=30).stdout.split()
    return ids[0] if len(ids) == 1 else None


def geometry(window):
    """(left, top, width, height) of an X window, or None once it is gone."""
    out = subprocess.run(["xdotool", "getwindowgeometry", window], capture_output=True, text=True,
                         timeout=30).stdout
    pos = re.search(r"Position: (-?\d+),(-?\d+)", out)
    size = re.search(r"Geometry: (\d+)x(\d+)", out)
    return (int(pos.group(1)), int(pos.group(2)), int(size.group(1)), int(size.group(2))) if pos and size else None


def click_window(name, point):
    """One click on a client point of the one visible window `name`, by screen
    coordinates: Wine may replace a window's X window, so the window is looked
    up until it answers, and no move is made relative to an id kept from before."""
    left, top, _, _ = wait_for(f"the window {name}", lambda: (lambda w: w and geometry(w))(only_window(name)), 10)
    subprocess.run(["xdotool", "mousemove", "--sync", str(left + point[0]), str(top + point[1])], check=True,
                   timeout=30)
    time.sleep(0.15)
    subprocess.run(["xdotool", "click", "1"], check=True, timeout=30)


def centre(rect):
    return ((rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


# ---------------------------------------------------------------- images

class Image:
    """An RGB picture from the X server."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return self.data[i], self.data[i + 1], self.data[i + 2]

    def pixels(self, rect):
        left, top, right, bottom = rect
        for y in range(top, bottom):
            for x in range(left, right):
                yield x, y, self.pixel(x, y)

    def count(self, rect, predicate):
        return sum(1 for _, _, p in self.pixels(rect) if predicate(p))

    def save_png(self, path):
        raw = b"".join(b"\x00" + self.data[y * self.width * 3:(y + 1) * self.width * 3] for y in range(self.height))

        def chunk(kind, body):
            return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
            f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)))
            f.write(chunk(b"IDAT", zlib.compress(raw, 6)))
            f.write(chunk(b"IEND", b""))


def differing_fraction(a, b, rect, tolerance=24):
    """Share of rect's pixels whose colour differs by more than tolerance in a channel."""
    total = differ = 0
    for x, y, p in a.pixels(rect):
        q = b.pixel(x, y)
        total += 1
        if max(abs(p[0] - q[0]), abs(p[1] - q[1]), abs(p[2] - q[2])) > tolerance:
            differ += 1
    return differ / total if total else 0.0


def is_ink(p):
    """The settings page's labels are drawn in opaque black."""
    return max(p) < 70


def is_accent(p):
    """The skin's accent blue that marks a switch's current state."""
    r, g, b = p
    return b > 150 and b - r > 70


# ---------------------------------------------------------------- drawn text
#
# The labels are drawn text, invisible to window messages. Each character of
# the labels' bold face is one run of ink columns, and the same character
# always leaves the same ink mask. The software version label's text is fixed,
# so its glyphs teach the reader an alphabet; the other labels are then read
# against it, characters outside it as "?".

def glyph_masks(image, rect):
    left, top, right, bottom = rect
    ink = [[is_ink(image.pixel(x, y)) for x in range(left, right)] for y in range(top, bottom)]
    columns = [any(row[c] for row in ink) for c in range(right - left)]
    masks, c = [], 0
    while c < len(columns):
        if columns[c]:
            start = c
            while c < len(columns) and columns[c]:
                c += 1
            masks.append(tuple(tuple(row[start:c]) for row in ink))
        else:
            c += 1
    return masks


def learn_alphabet(image, rect, text):
    """The glyphs of a label known to read `text`, after checking that the ink
    repeats exactly where the text repeats a character."""
    chars = text.replace(" ", "")
    masks = glyph_masks(image, rect)
    check(len(masks) == len(chars), f"{len(masks)} glyphs where {text!r} has {len(chars)}")
    for i in range(len(chars)):
        for j in range(i + 1, len(chars)):
            check((masks[i] == masks[j]) == (chars[i] == chars[j]),
                  f"glyphs {i} and {j} do not repeat as {text!r} does")
    return dict(zip(masks, chars))


def read_label(image, rect, alphabet):
    return "".join(alphabet.get(mask, "?") for mask in glyph_masks(image, rect))


def as_read(text, alphabet):
    """What read_label gives for a label showing `text`."""
    known = set(alphabet.values())
    return "".join(c if c in known else "?" for c in text.replace(" ", ""))


def capture_screen_rect(x, y, width, height):
    out = subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+{x}+{y}", "-depth", "8",
                          "ppm:-"], check=True, capture_output=True, timeout=30).stdout
    match = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", out)
    check(match is not None and match.group(3) == b"255", "import did not deliver an 8-bit PPM")
    width, height = int(match.group(1)), int(match.group(2))
    return Image(width, height, out[match.end():match.end() + width * height * 3])


# ---------------------------------------------------------------- session

class Session:
    """One run of the program with one virtual cooler; use as a context manager.
    The virtual-cooler build runs from the test's own copy of it (tests write
    the firmware image beside the program); with program_dir, that folder's
    program runs instead."""

    def __init__(self, name, build_dir, scenario, settings=None, firmware="0x13", update_server=None,
                 program_env=None, program_dir=None):
        self.name = name
        self.build = os.path.abspath(build_dir)
        self.sim = os.path.join(work_dir(), "sim")
        if not os.path.isdir(self.sim):
            shutil.copytree(os.path.join(self.build, "sim"), self.sim)
        self.program_dir = program_dir or self.sim
        self.helper = os.path.join(self.build, "bin", "e2e_helper.exe")
        self.artefacts = os.path.join(self.build, "e2e-artifacts", name)
        shutil.rmtree(self.artefacts, ignore_errors=True)
        os.makedirs(self.artefacts)
        self.channel = f"e2e-{name}-{os.getpid()}"
        self.scenario_path = os.path.join(self.artefacts, "scenario.txt")
        with open(self.scenario_path, "w") as f:
            f.write(scenario)
        self.settings = dict(DEFAULT_SETTINGS, **(settings or {}))
        self.env = dict(os.environ, VCOOLER_CHANNEL=self.channel,
                        GLIMRA_SENSOR_REPLAY=windows_path(self.scenario_path),
                        GLIMRA_UPDATE_SERVER=update_server or DEAD_UPDATE_SERVER)
        # None: no cooler on the channel.
        self.firmware = firmware
        self.program_env = dict(self.env, **(program_env or {}))
        self.locks = self.serve = self.program = None
        self.started_at = None
        self.exit_code = None

    # -- running Windows tools

    def wine(self, *args, timeout=30, check_rc=True):
        result = subprocess.run([WINE64, *args], env=self.env, capture_output=True, text=True,
                                timeout=timeout, stdin=subprocess.DEVNULL)
        if check_rc and result.returncode != 0:
            raise TestFailure(f"{' '.join(args)} exited with {result.returncode}: {result.stderr.strip()}")
        return result.stdout.replace("\r", "")

    def vcooler(self, *args, **kwargs):
        return self.wine(os.path.join(self.sim, "vcooler.exe"), *args, **kwargs)

    def reg_set(self, key, name, value):
        self.wine("reg", "add", key, "/v", name, "/t", "REG_SZ", "/d", value, "/f")

    def reg_get(self, name, key=SETTINGS_KEY):
        out = self.wine("reg", "query", key, "/v", name, check_rc=False)
        match = re.search(rf"^\s*{re.escape(name)}\s+REG_SZ\s+(.*?)\s*$", out, re.M)
        return match.group(1) if match else None

    def wait_setting(self, name, value, timeout=10):
        wait_for(f'"{name}" = "{value}"', lambda: self.reg_get(name) == value, timeout, interval=0.2)

    # -- lifetime

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self._stop(judge=False)
            raise
        return self

    def __exit__(self, kind, value, traceback):
        if kind is not None:
            try:
                self.screenshot("failure")
            except Exception:  # the failure itself matters more than its picture
                pass
        # After a failure the program's end is still logged, but the first
        # failure stays the one reported.
        self._stop(judge=kind is None)
        return False

    def _start(self):
        log(f"{self.name}: waiting for the program-wide test locks")
        self.locks = subprocess.Popen([WINE64, self.helper, "hold"], env=self.env, stdin=subprocess.PIPE,
                                      stdout=subprocess.PIPE, text=True)
        line = self.locks.stdout.readline().strip()
        check(line == "held", f"the lock holder said {line!r}")
        for name, value in self.settings.items():
            self.reg_set(SETTINGS_KEY, name, value)
        self.serve = subprocess.Popen([WINE64, os.path.join(self.sim, "vcooler.exe"), "serve"], env=self.env,
                                      stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL)
        # The channel lives while a process holds it: a plug before `serve` has
        # opened it is lost with the plugging process, so plug until it stays.
        if self.firmware is not None:
            wait_for("a cooler plugged on the channel", self._plug, 20, interval=0.3)
        self.program_log = open(os.path.join(self.artefacts, "program.log"), "w")
        self.started_at = time.monotonic()
        self.program = subprocess.Popen([WINE64, os.path.join(self.program_dir, "Vantrel Glimra.exe")],
                                        env=self.program_env,
                                        stdin=subprocess.DEVNULL, stdout=self.program_log,
                                        stderr=subprocess.STDOUT)
        wait_for("the main window", lambda: self._find_window(visible=True), 40, interval=0.3)
        log(f"{self.name}: main window at {self.window_position()}")

    def _plug(self):
        # Plugs only while no cooler is listed, so a call that failed after a
        # plug that stayed cannot add a second cooler.
        try:
            if "cooler 0:" in self.vcooler("status"):
                return True
            self.vcooler("plug", "--version", self.firmware)
        except TestFailure as e:  # seen once as the prefix's first processes started
            log(f"{self.name}: {e}; trying again")
        return False

    def _find_window(self, visible=False):
        check(self.program.poll() is None, f"the program ended early with {self.program.poll()}")
        ids = subprocess.run(["xdotool", "search", *(["--onlyvisible"] if visible else []), "--name", "^GLIMRA$"],
                             capture_output=True, text=True).stdout.split()
        return ids[0] if len(ids) == 1 else None

    @property
    def window(self):
        """The main window's X id, looked up anew: Wine may replace the X window
        (a layered window gets a new one), and an id kept from before goes stale."""
        return wait_for("one main window", self._find_window, 5)

    def _stop(self, judge=True):
        """Ends everything the session started; with judge, then fails the test
        if the program crashed, hung at Exit, was killed or ended with a code
        other than 0, or its log shows a crash."""
        problems = []
        if self.program is not None:
            if self.program.poll() is None:
                subprocess.run([WINE64, self.helper, "exit-program"], env=self.env, capture_output=True,
                               timeout=20, stdin=subprocess.DEVNULL)
                try:
                    self.program.wait(timeout=15)
                except subprocess.TimeoutExpired:
                    self.program.kill()
                    self.program.wait(timeout=10)
                    problems.append("HANG: the program did not end on Exit and was killed")
            self.exit_code = self.program.returncode
            if self.exit_code != 0 and not problems:
                problems.append(f"CRASH: the program ended with code {self.exit_code}")
        if self.serve is not None and self.serve.poll() is None:
            try:
                self.vcooler("stop", check_rc=False, timeout=20)
                self.serve.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.serve.kill()
                self.serve.wait(timeout=10)
        if self.locks is not None:
            self.locks.stdin.close()
            try:
                self.locks.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.locks.kill()
        if getattr(self, "program_log", None) is not None:
            self.program_log.close()
            problems += [f"CRASH: the program's log says: {line}" for line in self.crash_lines()]
        for problem in problems:
            log(problem)
        if judge and problems:
            raise TestFailure(f"{self.name}: {problems[0]}")

    def crash_lines(self):
        """Wine's and the debugger's report of an unhandled exception in program.log."""
        with open(os.path.join(self.artefacts, "program.log"), errors="replace") as f:
            return [line.rstrip() for line in f if CRASH_LINE.match(line)]

    def seconds_since_start(self):
        return time.monotonic() - self.started_at

    # -- the window

    def window_position(self):
        # Wine may replace the X window between the lookup and the query: look
        # it up anew until one answers.
        def read():
            out = subprocess.run(["xdotool", "getwindowgeometry", self.window], capture_output=True,
                                 text=True).stdout
            match = re.search(r"Position: (-?\d+),(-?\d+)", out)
            return (int(match.group(1)), int(match.group(2))) if match else None
        return wait_for("the main window's geometry", read, 5)

    def viewable(self):
        out = subprocess.run(["xwininfo", "-id", self.window], capture_output=True, text=True).stdout
        return "IsViewable" in out

    def move_to(self, x, y):
        """Puts the pointer on a client point of the main window, by screen
        coordinates: Wine may replace the X window at any time, and a move
        relative to an id kept from before fails."""
        left, top = self.window_position()
        subprocess.run(["xdotool", "mousemove", "--sync", str(left + x), str(top + y)], check=True)
        time.sleep(0.15)

    def click(self, x, y, button=1):
        self.move_to(x, y)
        subprocess.run(["xdotool", "click", str(button)], check=True)
        time.sleep(0.2)

    def drag(self, x, y, dx, dy):
        self.move_to(x, y)
        subprocess.run(["xdotool", "mousedown", "1"], check=True)
        time.sleep(0.2)
        for part_x, part_y in ((dx // 2, dy // 2), (dx - dx // 2, dy - dy // 2)):
            subprocess.run(["xdotool", "mousemove_relative", "--", str(part_x), str(part_y)], check=True)
            time.sleep(0.2)
        subprocess.run(["xdotool", "mouseup", "1"], check=True)
        time.sleep(0.3)

    def park_pointer(self):
        """Moves the pointer off every control so that no hover state shows."""
        self.move_to(250, 92)

    def capture(self):
        x, y = self.window_position()
        return capture_screen_rect(x, y, *WINDOW_SIZE)

    def screenshot(self, label, settled_in=()):
        """The window saved as label.png; with settled_in, once two captures in a
        row agree in each of those rects (a label being drawn, a hover frame
        fading)."""
        if settled_in:
            def settled():
                first = self.capture()
                time.sleep(0.3)
                second = self.capture()
                return second if all(differing_fraction(first, second, r) == 0 for r in settled_in) else None
            image = wait_for(f"{label} to settle", settled, 10)
        else:
            image = self.capture()
        path = os.path.join(self.artefacts, f"{label}.png")
        image.save_png(path)
        log(f"{self.name}: saved {path}")
        return image

    # -- the cooler

    def reports(self, after=0):
        """Display reports the cooler received after sequence number `after`: [(seq, (h, t, u))]."""
        found = []
        for line in self.vcooler("log", str(after + 1)).splitlines():
            fields = line.split()
            if len(fields) < 8 or fields[4] != "send" or fields[5] != "1" or not fields[7].startswith("07ffff"):
                continue
            seq = int(fields[0])
            if seq > after:
                data = bytes.fromhex(fields[7][:12])
                found.append((seq, (data[3], data[4], data[5])))
        return found

    def last_sequence(self):
        lines = self.vcooler("log").splitlines()
        return int(lines[-1].split()[0]) if lines else 0

    def wait_reports(self, after, count, timeout=10):
        return wait_for(f"{count} display report(s) after #{after}",
                        lambda: (lambda r: r[:count] if len(r) >= count else None)(self.reports(after)),
                        timeout, interval=0.25)

    def digits(self):
        return self.vcooler("digits", "0").strip()

    # -- the tray

    def tray_window(self):
        ids = subprocess.run(["xdotool", "search", "--name", "^Wine System Tray$"], capture_output=True,
                             text=True).stdout.split()
        check(len(ids) >= 1, "no Wine System Tray window")
        return ids[0]

    def click_tray_icon(self, button=1):
        tray = self.tray_window()
        out = subprocess.run(["xdotool", "getwindowgeometry", tray], capture_output=True, text=True).stdout
        height = int(re.search(r"Geometry: \d+x(\d+)", out).group(1))
        # The program's icon is the only one: the first slot, a square as high as the tray.
        subprocess.run(["xdotool", "mousemove", "--sync", "--window", tray, str(height // 2), str(height // 2)],
                       check=True)
        time.sleep(0.15)
        subprocess.run(["xdotool", "click", str(button)], check=True)
        time.sleep(0.2)

    def menu_open(self):
        return self.wine(self.helper, "menu").strip() == "open"

    def click_menu_item(self, index):
        """Clicks item `index` of the popup menu that opened at the pointer."""
        out = subprocess.run(["xdotool", "getmouselocation", "--shell"], capture_output=True, text=True).stdout
        x = int(re.search(r"X=(\d+)", out).group(1))
        y = int(re.search(r"Y=(\d+)", out).group(1))
        subprocess.run(["xdotool", "mousemove", "--sync", str(x + 20), str(y + 10 + 20 * index)], check=True)
        time.sleep(0.15)
        subprocess.run(["xdotool", "click", "1"], check=True)

    def work_area(self):
        return tuple(int(v) for v in self.wine(self.helper, "work-area").split())
