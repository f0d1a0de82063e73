#!/usr/bin/python3
"""End-to-end test of the release program (dist/, unmodified) driving a cooler
through Wine's own HID stack: the kernel-level virtual cooler (tools/kcooler)
in a test prefix of its own, with the cfgmgr32 bridge hidapi needs under Wine 8.
The story: plugged before the start, the digits follow the CPU temperature;
unplugged, the settings page says "Device:0" and the push stops; replugged, the
digits come back; an upgrade from 0x11 to 0x13 with the progress window, and
the cooler back with the new version. Then the same story with the
virtual-cooler build on the link-time virtual cooler: the report bytes both
back ends delivered must agree, and the display cadence and the
sensor-to-display latency of both are printed.

usage: stack_e2e.py BUILD_DIR SOURCE_DIR
"""

import os
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from glimra_e2e import (DEVICE, FW_VERSION, SW_VERSION, WINE64, Session, as_read, check, click_window,  # noqa: E402
                        learn_alphabet, log, only_window, read_label, run_test, wait_for, windows_path)
from firmware_e2e import (BOX_OK, GEAR, PARK, SW_TEXT, accept_upgrade, capture_window, command_sent,  # noqa: E402
                          expected_reports, log_entries, wait_box)

WINESERVER = "/usr/lib/wine/wineserver"
FIRST, SECOND = 47, 52  # CPU temperatures the sensor stand-in publishes
STEPS = (50, 49, SECOND)  # the changes whose way to the display is timed
REPORT_BYTES = 64  # feature report 7 with its id, as the driver's descriptor declares it


class Sensor:
    """The HWiNFO stand-in: the CPU temperature both programs read."""

    def __init__(self, kdir, env, celsius):
        self.process = subprocess.Popen([WINE64, os.path.join(kdir, "hwinfo-standin.exe"), str(celsius)], env=env,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                        text=True)
        check(self.process.stdout.readline().strip() == "ready", "the sensor stand-in did not start")

    def set(self, celsius):
        """Publishes a temperature; the report log's time (µs) at which the block held it."""
        self.process.stdin.write(f"{celsius}\n")
        self.process.stdin.flush()
        line = self.process.stdout.readline().split()
        check(len(line) == 2 and line[0] == "applied", f"the sensor stand-in said {line}")
        return int(line[1])

    def close(self):
        self.process.stdin.close()
        self.process.wait(timeout=20)


class StackSession(Session):
    """A Session whose cooler lives in Wine's HID stack: vcooler-stack holds the
    channel and keeps the device node; the node is up before the program starts."""

    def __init__(self, kdir, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.kdir = kdir
        self.host_log_path = os.path.join(self.artefacts, "host.log")

    def vcooler(self, *args, **kwargs):
        return self.wine(os.path.join(self.kdir, "vcooler.exe"), *args, **kwargs)

    def host_log(self):
        with open(self.host_log_path, errors="replace") as f:
            return f.read().replace("\r", "")

    def _start(self):
        self.locks = subprocess.Popen([WINE64, self.helper, "hold"], env=self.env, stdin=subprocess.PIPE,
                                      stdout=subprocess.PIPE, text=True)
        check(self.locks.stdout.readline().strip() == "held", "the lock holder did not answer")
        for name, value in self.settings.items():
            self.reg_set(r"HKCU\Software\Vantrel Glimra", name, value)
        self.serve = subprocess.Popen([WINE64, os.path.join(self.kdir, "vcooler-stack.exe"), "serve"], env=self.env,
                                      stdin=subprocess.DEVNULL, stdout=open(self.host_log_path, "w"),
                                      stderr=subprocess.STDOUT)
        wait_for("a cooler plugged on the channel", self._plug, 20, interval=0.3)
        wait_for("the cooler's device node", lambda: "created (0)" in self.host_log(), 60, interval=0.3)
        self.program_log = open(os.path.join(self.artefacts, "program.log"), "w")
        self.started_at = time.monotonic()
        self.program = subprocess.Popen([WINE64, os.path.join(self.program_dir, "Vantrel Glimra.exe")],
                                        env=self.program_env, stdin=subprocess.DEVNULL, stdout=self.program_log,
                                        stderr=subprocess.STDOUT)
        wait_for("the main window", lambda: self._find_window(visible=True), 60, interval=0.3)


def timed_entries(s, after=None):
    """(seq, time_us, kind, ok, bytes) of every log entry after sequence number
    `after`, or of the whole log."""
    found = []
    for line in s.vcooler("log", *([] if after is None else [str(after + 1)])).splitlines():
        f = line.split()
        if len(f) >= 7 and (after is None or int(f[0]) > after):
            found.append((int(f[0]), int(f[1]), f[4], f[5] == "1", bytes.fromhex(f[7]) if len(f) > 7 else b""))
    return found


def is_display(entry, value=None):
    _, _, kind, ok, data = entry
    if kind != "send" or not ok or data[:3] != b"\x07\xff\xff":
        return False
    return value is None or tuple(data[3:6]) == (value // 100, value // 10 % 10, value % 10)


def digits_of(value):
    return f"{value // 100} {value // 10 % 10} {value % 10}"


def device_label(s):
    image = s.capture()
    alphabet = learn_alphabet(image, SW_VERSION, SW_TEXT)
    return read_label(image, DEVICE, alphabet), read_label(image, FW_VERSION, alphabet), alphabet


def wait_labels(s, device_text, fw_text, timeout=40):
    def read():
        device, fw, alphabet = device_label(s)
        return device == as_read(device_text, alphabet) and fw == as_read(fw_text, alphabet)
    wait_for(f'"{device_text}" and "{fw_text}" on the settings page', read, timeout, interval=0.5)


def story(s, sensor, name):
    """The story on one back end; returns its figures and the log."""
    figures = {}
    wait_for(f"the cooler showing {FIRST}", lambda: s.digits() == digits_of(FIRST), 90, interval=0.5)
    log(f"{name}: plugged before the start, the cooler shows {s.digits()}")

    # Cadence and latency: a steady stretch, then three new temperatures.
    mark = s.last_sequence()
    time.sleep(6)
    latencies = []
    for value in STEPS:
        before = s.last_sequence()
        applied = sensor.set(value)
        wait_for(f"the cooler showing {value}", lambda: s.digits() == digits_of(value), 30, interval=0.25)
        shown_at = next(e[1] for e in timed_entries(s, before) if is_display(e, value))
        latencies.append((shown_at - applied) / 1000)
    time.sleep(2)
    times = [e[1] for e in timed_entries(s, mark) if is_display(e)]
    gaps = [(b - a) / 1000 for a, b in zip(times, times[1:])]
    check(len(gaps) >= 8, f"only {len(times)} display reports")
    figures["cadence_ms"] = (statistics.median(gaps), min(gaps), max(gaps))
    figures["latency_ms"] = latencies
    log(f"{name}: display reports every {figures['cadence_ms'][0]:.0f} ms (median; {figures['cadence_ms'][1]:.0f}"
        f"-{figures['cadence_ms'][2]:.0f}); sensor to display " + ", ".join(f"{v:.0f}" for v in latencies) + " ms")

    s.click(*GEAR)
    s.move_to(*PARK)
    wait_labels(s, "Device:1", "FW Version: V13")

    # Unplugged: "Device:0", and no report reaches the cooler any more.
    s.vcooler("unplug", "0")
    if isinstance(s, StackSession):
        wait_for("the device node to go", lambda: "node removed" in s.host_log(), 30, interval=0.3)
    wait_labels(s, "Device:0", "FW Version: 0")
    check(s.digits() == "unplugged", f"digits: {s.digits()}")
    quiet_from = s.last_sequence()
    time.sleep(4)
    late = [e for e in timed_entries(s, quiet_from) if e[2] == "send"]
    check(not late, f"{len(late)} reports reached the unplugged cooler")
    log(f"{name}: unplugged: Device:0, the push stopped")

    # Replugged with older firmware: the digits come back, then the upgrade.
    s.vcooler("version", "0", "0x11")
    s.vcooler("replug", "0")
    wait_for(f"the digits back ({SECOND})", lambda: s.digits() == digits_of(SECOND), 60, interval=0.5)
    log(f"{name}: replugged, the cooler shows {s.digits()}")
    image_path = os.path.join(s.program_dir, "update.bin")
    with open(image_path, "rb") as f:
        image = f.read()
    s.move_to(*PARK)
    wait_labels(s, "Device:1", "FW Version: V11")
    mark = s.last_sequence()
    accept_upgrade(s, "upgrade")
    wait_for("the progress window", lambda: only_window("^UpdateProcessDlg$"), 15, interval=0.2)
    started = wait_for("the upgrade command", lambda: command_sent(s, mark), 20, interval=0.2)
    box = wait_box(s, "the result box", 90)
    capture_window(box).save_png(os.path.join(s.artefacts, "result.png"))
    data = [e for e in log_entries(s, started) if e[1] == "send"][:327]
    check(len(data) == 327 and all(ok for _, _, ok, _ in data), "not 327 data reports accepted")
    check([d for _, _, _, d in data] == expected_reports(image), "the data reports differ from the image")
    click_window("^MessageBox$", BOX_OK)
    wait_for("the progress window to close", lambda: not only_window("^UpdateProcessDlg$"), 15, interval=0.3)
    wait_for("the cooler back with 0x13", lambda: "version 0x0013 plugged normal" in s.vcooler("status"), 30,
             interval=0.5)
    s.move_to(*PARK)
    wait_labels(s, "Device:1", "FW Version: V13", 60)
    wait_for("the display push to resume", lambda: s.digits() == digits_of(SECOND), 30, interval=0.5)
    log(f"{name}: upgraded 0x11 -> 0x13, the cooler back with the new version")
    figures["log"] = timed_entries(s)
    return figures


def report_kinds(entries):
    """What the cooler took, in order of first appearance: each distinct
    (kind, bytes) once, the 327 data reports included. Refused reports are left
    out: through the stack, a report sent between the unplug and the node's
    removal reaches the unplugged cooler and is refused; the link-time cooler
    is gone at once."""
    seen, kinds = set(), []
    for _, _, kind, ok, data in entries:
        if kind == "open" or not ok:
            continue
        # The stack hands the device the descriptor's 64 bytes; the link-time
        # cooler logs what the caller passed (65 for display reports).
        check(not any(data[REPORT_BYTES:]), f"a {kind} with data past byte {REPORT_BYTES}: {data.hex()}")
        data = data[:REPORT_BYTES]
        key = (kind, ok, data)
        if key not in seen:
            seen.add(key)
            kinds.append(key)
    return kinds


def stack_story(build, source):
    build = os.path.abspath(build)
    kdir = os.path.join(build, "kcooler")
    prefix = os.path.join(build, "wineprefix-stack")
    installed = subprocess.run([os.path.join(source, "tools", "kcooler", "install-prefix.sh"), kdir, prefix],
                               capture_output=True, text=True, timeout=600)
    check(installed.returncode == 0, f"install-prefix.sh failed:\n{installed.stdout}{installed.stderr}")
    log(installed.stdout.strip().splitlines()[-1])

    # The release program in a folder of its own, a 0x13 image beside it.
    program_dir = os.path.join(build, "stack-release-program")
    shutil.rmtree(program_dir, ignore_errors=True)
    shutil.copytree(os.path.join(build, "dist"), program_dir)

    results = {}
    env_before = dict(os.environ)
    try:
        os.environ["WINEPREFIX"] = prefix
        subprocess.run([WINESERVER, "-p"], check=True)
        subprocess.run([WINE64, "cmd", "/c", "exit"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)
        s = StackSession(kdir, "stack_release", build, "", firmware="0x13", program_dir=program_dir,
                         program_env={"WINEDLLOVERRIDES": os.environ.get("WINEDLLOVERRIDES", "") + ";cfgmgr32=n,b"})
        s.program_env.pop("GLIMRA_SENSOR_REPLAY")
        s.vcooler("write-image", windows_path(os.path.join(program_dir, "update.bin")), "0x13", check_rc=False)
        sensor = Sensor(kdir, s.env, FIRST)
        try:
            with s:
                results["stack"] = story(s, sensor, "through the stack")
        finally:
            sensor.close()
    finally:
        subprocess.run([WINESERVER, "-k"], env=dict(os.environ))
        os.environ.clear()
        os.environ.update(env_before)

    # The same story with the link-time virtual cooler, in the tests' prefix.
    s = Session("stack_linktime", build, "", firmware="0x13")
    s.program_env.pop("GLIMRA_SENSOR_REPLAY")
    s.vcooler("write-image", windows_path(os.path.join(s.sim, "update.bin")), "0x13")
    sensor = Sensor(kdir, s.env, FIRST)
    try:
        with s:
            results["linktime"] = story(s, sensor, "link-time")
    finally:
        sensor.close()

    stack, linktime = report_kinds(results["stack"]["log"]), report_kinds(results["linktime"]["log"])
    for name in results:
        with open(os.path.join(build, "e2e-artifacts", f"stack_{name}_log.txt"), "w") as f:
            for _, at, kind, ok, data in results[name]["log"]:
                f.write(f"{at} {kind} {int(ok)} {data.hex()}\n")
    for _, _, kind, ok, data in results["stack"]["log"]:
        check(kind == "open" or len(data) in (0, REPORT_BYTES), f"a {kind} of {len(data)} bytes through the stack")
    only_stack = [k for k in stack if k not in linktime]
    only_linktime = [k for k in linktime if k not in stack]
    check(not only_stack and not only_linktime,
          "reports only one back end delivered:\n" + "\n".join(f"stack: {k} {d.hex()}" for k, _, d in only_stack)
          + "\n" + "\n".join(f"link-time: {k} {d.hex()}" for k, _, d in only_linktime))
    check(stack == linktime, "the same reports in another order:\n" + "\n".join(
        f"{a[0]} {a[2][:6].hex()} | {b[0]} {b[2][:6].hex()}" for a, b in zip(stack, linktime) if a != b))
    log(f"both back ends delivered the same {len(stack)} distinct reports in the same order (the data reports "
        "checked one by one against the image on each)")
    for name, r in results.items():
        median, low, high = r["cadence_ms"]
        log(f"FIGURES {name}: display cadence median {median:.0f} ms (min {low:.0f}, max {high:.0f}); "
            f"sensor-to-display latency " + ", ".join(f"{v:.0f}" for v in r["latency_ms"])
            + f" ms (median {statistics.median(r['latency_ms']):.0f})")


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    return run_test(stack_story, argv[1], argv[2])


if __name__ == "__main__":
    sys.exit(main(sys.argv))
