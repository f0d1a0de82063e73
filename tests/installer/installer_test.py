"""The release folder and the installer's whole life under Wine.

  release   BUILD SOURCE VERSION RELEASE_KEYS
      The program of this (tests on) build holds exactly the release keys
      RELEASE_KEYS. scripts/release.sh refuses a signing key that is not one
      of the keys the release trusts, before it builds anything. The test
      release that the build made (BUILD/test-releases/VERSION, a throwaway
      release key) is exactly the six files of the update server's software
      folder: a package holding the same installer, signatures that verify, a
      release record naming them, a version file the program accepts; its
      program holds exactly the throwaway key.
  lifecycle BUILD SOURCE VERSION
      In a Wine prefix and X display of its own: the test release's update
      package is unpacked into the staging folder and its installer run from there with
      /S while an instance that ignores "Exit" holds the program's mutex and
      window (it is ended after the bounded wait); every file lands in Program
      Files, the Start-menu entry and the Uninstall entry exist, the program
      runs with its window shown. A second
      /S install over the running program ends it through its tray "Exit"
      (exit code 0) and replaces the files. The silent uninstall ends it again
      and removes files, shortcut, entry and the logon task, leaving the user's
      settings and nothing running.
"""

import filecmp
import hashlib
import os
import re
import shutil
import subprocess
import sys
import time
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from glimra_e2e import TestFailure, check, log, start_display, wait_for  # noqa: E402,F401
from isolate import fresh_prefix  # noqa: E402

WINE64 = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
PRODUCT = "Vantrel Glimra"
EXE = "Vantrel Glimra.exe"
TASK = "GLIMRA StartupTask"
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall" + "\\" + PRODUCT
SETTINGS_KEY = r"HKCU\Software" + "\\" + PRODUCT
INSTALL_DIR = r"C:\Program Files" + "\\" + PRODUCT


def run(args, timeout=120, env=None, expect=0):
    result = subprocess.run(args, env=env, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                            timeout=timeout)
    if expect is not None and result.returncode != expect:
        raise TestFailure(f"{args} exited {result.returncode}, expected {expect}:\n{result.stdout}{result.stderr}")
    return result


# ---------------------------------------------------------------- release

def release_tree(build, version):
    """The build tree of a test release the build made: beside the build tree,
    so that its compiler commands read as this tree's and the compiler cache
    serves them."""
    return f"{os.path.abspath(build)}-release-{version}"


def signature_verifies(public, package):
    return run(["openssl", "dgst", "-sha256", "-sigopt", "rsa_padding_mode:pss", "-sigopt", "rsa_pss_saltlen:32",
                "-verify", public, "-signature", package + ".sig", package], expect=None).returncode == 0


PUBLIC_KEY = re.compile(rb"-----BEGIN PUBLIC KEY-----[A-Za-z0-9+/=\s]+?-----END PUBLIC KEY-----")


def keys_in(path):
    """The PEM public keys in a file, whitespace left out."""
    with open(path, "rb") as f:
        return sorted(re.sub(rb"\s", b"", k) for k in PUBLIC_KEY.findall(f.read()))


def release(build, source, version, release_keys):
    keys = os.path.join(build, "update-keys")
    throwaway, throwaway_public = os.path.join(keys, "throwaway-release-key.pem"), \
        os.path.join(keys, "throwaway-release-key.pub.pem")
    shipped = keys_in(os.path.join(build, "dist", EXE))
    check(shipped == sorted(k for p in release_keys.split(";") for k in keys_in(p)),
          f"the build's program holds {len(shipped)} keys, not exactly the release keys {release_keys}")

    work = os.path.join(build, "installer-test")
    os.makedirs(work, exist_ok=True)
    refused = os.path.join(work, "refused")
    shutil.rmtree(refused, ignore_errors=True)
    script = os.path.join(source, "scripts", "release.sh")
    env = dict(os.environ, GLIMRA_RELEASE_BUILD=os.path.join(work, "no-build"))
    env.pop("GLIMRA_RELEASE_KEY", None)
    env.pop("GLIMRA_RELEASE_KEYS", None)
    # No key, a version the program would not accept, a key the release does
    # not trust (the tests' key, the throwaway key against the committed
    # release key): no release, nothing built.
    run([script, version, "--out", refused], env=env, expect=1)
    run([script, "1.0.100.100", "--out", refused, "--key", throwaway, "--release-keys", throwaway_public],
        env=env, expect=1)
    for key, trusted in ((os.path.join(keys, "test-update-key.pem"), release_keys), (throwaway, release_keys),
                         (throwaway, os.path.join(keys, "untrusted-update-key.pub.pem"))):
        result = run([script, version, "--out", refused, "--key", key, "--release-keys", trusted], env=env, expect=1)
        check("is not one of the keys the release trusts" in result.stderr, f"release.sh said: {result.stderr}")
    check(not os.path.exists(refused) and not os.path.exists(env["GLIMRA_RELEASE_BUILD"]),
          "a refused release wrote or built something")

    out = os.path.join(build, "test-releases", version)
    setup = f"{PRODUCT} Setup {version}.exe"
    package = f"Software-{version}.zip"
    expected = sorted([setup, package, package + ".sig", "release", "release.sig", "version"])
    check(sorted(os.listdir(out)) == expected, f"release folder holds {sorted(os.listdir(out))}, not {expected}")
    check(keys_in(os.path.join(release_tree(build, version), "dist", EXE)) == keys_in(throwaway_public),
          "the test release's program does not hold exactly the throwaway release key")
    with open(os.path.join(out, "version"), "rb") as f:
        check(f.read() == version.encode(), "the version file is not exactly the version")
    with open(os.path.join(out, setup), "rb") as f:
        installer = f.read()
    with zipfile.ZipFile(os.path.join(out, package)) as z:
        names = z.namelist()
        check(names == [f"Software-{version}.exe"], f"package holds {names}")
        check(z.read(names[0]) == installer, "the package's installer differs from the release's")
    with open(os.path.join(out, package), "rb") as f:
        data = f.read()
    with open(os.path.join(out, "release"), "rb") as f:
        record = f.read().decode("ascii")
    fields = dict(line.split("=", 1) for line in record.split("\n")[:-1])
    want = {"product": PRODUCT, "version": version, "package": package, "length": str(len(data)),
            "sha256": hashlib.sha256(data).hexdigest(), "installer": f"Software-{version}.exe",
            "installer-sha256": hashlib.sha256(installer).hexdigest()}
    check(list(fields) == list(want) + ["issued"] and all(fields[k] == v for k, v in want.items()) and
          re.fullmatch(r"\d{4}-\d\d-\d\d", fields["issued"]), f"the release record reads:\n{record}")
    for signed in (package, "release"):
        check(signature_verifies(throwaway_public, os.path.join(out, signed)), f"the {signed} signature does not verify")
    changed = os.path.join(work, "changed-release")
    with open(changed, "w", newline="\n") as f:
        f.write(record.replace(f"version={version}", "version=9.9.9.9"))
    shutil.copy(os.path.join(out, "release.sig"), changed + ".sig")
    check(not signature_verifies(throwaway_public, changed), "a changed record still verifies")
    log(f"release folder {out}: " + ", ".join(f"{n} {os.path.getsize(os.path.join(out, n))} B" for n in expected))


# ---------------------------------------------------------------- lifecycle

class Wine:
    """A fresh prefix, a private X display and a persistent wineserver."""

    def __init__(self, build, work):
        self.prefix = os.path.join(work, "prefix")
        self.work = work
        self.xvfb = None
        self.calls = 0
        for name in os.listdir(work):
            if name.startswith(("wine-", "watch-")):
                os.remove(os.path.join(work, name))
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all", WINEARCH="win64",
                        # No menu entries on the host for the shortcuts made here.
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
                        # The installed program must not reach a real update server.
                        GLIMRA_UPDATE_SERVER="http://127.0.0.1:9")
        self.start_xvfb()
        fresh_prefix(build, self.prefix)
        subprocess.run([WINESERVER, "-p"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        self.probe_exe = "Z:" + os.path.join(build, "bin", "installer_probe.exe").replace("/", "\\")

    def start_xvfb(self):
        self.xvfb, self.env["DISPLAY"] = start_display()

    def close(self):
        subprocess.run([WINESERVER, "-k"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if self.xvfb:
            self.xvfb.kill()
            self.xvfb.wait()

    def host(self, windows_path):
        """The host path of a C: path in the prefix."""
        check(windows_path[:3].upper() == "C:\\", windows_path)
        return os.path.join(self.prefix, "drive_c", *windows_path[3:].split("\\"))

    def wine(self, *args, timeout=120, expect=0):
        # Output through files: a Wine service started on the way inherits the
        # handles and would keep a pipe open. A file per call: the program
        # started by the installer writes on into the installer's.
        self.calls += 1
        out = os.path.join(self.work, f"wine-{self.calls}.out")
        err = os.path.join(self.work, f"wine-{self.calls}.err")
        with open(out, "w") as o, open(err, "w") as e:
            code = subprocess.run(["timeout", "--kill-after=5", str(timeout), WINE64, *args], env=self.env,
                                  stdin=subprocess.DEVNULL, stdout=o, stderr=e).returncode
        with open(out, errors="replace") as o, open(err, errors="replace") as e:
            text, errors = o.read(), e.read()
        if expect is not None and code != expect:
            raise TestFailure(f"wine {args} exited {code}, expected {expect}:\n{text}{errors}")
        return code, text

    def probe(self, *args, expect=None):
        return self.wine(self.probe_exe, *args, expect=expect)

    def registry(self, key):
        """The values of a key as {name: (type, data)}, or None when it does not exist."""
        code, text = self.wine("reg", "query", key, expect=None)
        if code != 0:
            return None
        values = {}
        for line in text.splitlines():
            parts = line.strip().split("    ")
            if len(parts) == 3:
                values[parts[0]] = (parts[1], parts[2])
        return values

    def program_window(self):
        """(pid, visible, path) of the running program's main window, or None."""
        code, text = self.probe("window")
        if code != 0:
            return None
        pid, visible, path = text.splitlines()[0].strip().split(" ", 2)
        return int(pid), visible == "1", path

    def program_processes(self):
        return int(self.probe("count", EXE, expect=0)[1].strip())

    def watch(self, pid):
        """Starts watching a process; returns a function that gives its exit code once it has ended."""
        out = os.path.join(self.work, f"watch-{pid}.out")
        proc = subprocess.Popen(["timeout", "300", WINE64, self.probe_exe, "watch", str(pid)], env=self.env,
                                stdin=subprocess.DEVNULL, stdout=open(out, "w"), stderr=subprocess.DEVNULL)

        def text():
            with open(out) as f:
                return f.read()
        wait_for(f"the watch on process {pid}", lambda: "watching" in text(), 60)

        def exit_code():
            # Called once the installer is done: the process is gone by then.
            try:
                proc.wait(timeout=30)
            except subprocess.TimeoutExpired:
                proc.kill()
            lines = text().split()
            check("exit" in lines, f"process {pid} did not end: {text()!r}")
            return int(lines[lines.index("exit") + 1])
        return exit_code


def read_text(path):
    with open(path, errors="replace") as f:
        return f.read()


def tree_files(root):
    found = []
    for folder, _, files in os.walk(root):
        found += [os.path.relpath(os.path.join(folder, f), root) for f in files]
    return sorted(found)


def check_installed(wine, dist, version):
    install = wine.host(INSTALL_DIR)
    shipped = tree_files(dist)
    check(tree_files(install) == sorted(shipped + ["Uninstall.exe"]),
          f"installed files {tree_files(install)} are not the shipped {shipped} and Uninstall.exe")
    for f in shipped:
        check(filecmp.cmp(os.path.join(dist, f), os.path.join(install, f), shallow=False), f"{f} differs")
    check(wine.probe("version", INSTALL_DIR + "\\" + EXE)[1].strip() == version, "installed program's version")

    shortcut = wine.host(r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs" + "\\" + PRODUCT + ".lnk")
    check(os.path.isfile(shortcut), "no Start-menu entry")
    with open(shortcut, "rb") as f:
        target = f.read()
    check(EXE.encode() in target or EXE.encode("utf-16-le") in target, "the shortcut does not name the program")

    entry = wine.registry(UNINSTALL_KEY)
    check(entry is not None, "no Uninstall entry")
    want = {"DisplayName": PRODUCT, "DisplayVersion": version, "Publisher": "Vantrel",
            "DisplayIcon": INSTALL_DIR + "\\" + EXE + ",0", "InstallLocation": INSTALL_DIR,
            "UninstallString": f'"{INSTALL_DIR}\\Uninstall.exe"',
            "QuietUninstallString": f'"{INSTALL_DIR}\\Uninstall.exe" /S'}
    for name, data in want.items():
        check(entry.get(name, (None, None))[1] == data, f"Uninstall entry {name} is {entry.get(name)}, not {data}")
    size_kb = int(entry["EstimatedSize"][1], 16)
    on_disk_kb = sum(os.path.getsize(os.path.join(install, f)) for f in tree_files(install)) // 1024
    check(abs(size_kb - on_disk_kb) <= on_disk_kb // 10 + 8, f"EstimatedSize {size_kb} KB, files {on_disk_kb} KB")
    return on_disk_kb


def running_program(wine):
    window = wait_for("the installed program's window", wine.program_window, 90)
    pid, visible, path = window
    check(path.lower() == (INSTALL_DIR + "\\" + EXE).lower(), f"the running program is {path}")
    wait_for("the program's window to show", lambda: (wine.program_window() or (0, False))[1], 30)
    return pid


def lifecycle(build, source, version):
    work = os.path.join(build, "installer-test")
    os.makedirs(work, exist_ok=True)
    release_dir = os.path.join(build, "test-releases", version)
    dist = os.path.join(release_tree(build, version), "dist")
    package = os.path.join(release_dir, f"Software-{version}.zip")
    check(os.path.isfile(package), f"no {package}: the build makes it")

    wine = Wine(build, work)
    try:
        # As the software update leaves it: unpacked into the staging folder.
        download_win = rf"C:\ProgramData\{PRODUCT} Update"
        download = wine.host(download_win)
        os.makedirs(download, exist_ok=True)
        with zipfile.ZipFile(package) as z:
            z.extractall(download)
        setup = download_win + f"\\Software-{version}.exe"

        # An instance that drops "Exit" (as during a firmware upgrade): the
        # silent installer waits for it, bounded, then ends that process.
        log("silent install from the staging folder over an instance that ignores Exit")
        stub_out = os.path.join(work, "stubborn.out")
        stub = subprocess.Popen(["timeout", "300", WINE64, wine.probe_exe, "stubborn"], env=wine.env,
                                stdin=subprocess.DEVNULL, stdout=open(stub_out, "w"), stderr=subprocess.DEVNULL)
        ready = wait_for("the stubborn instance", lambda: read_text(stub_out).split(), 60)
        check(ready[0] == "ready", f"stubborn instance: {ready}")
        forced = wine.watch(int(ready[1]))
        wine.wine(setup, "/S", timeout=300)
        check(forced() == 1, "the instance that ignores Exit was not ended by the installer")
        stub.wait(timeout=30)
        installed_kb = check_installed(wine, dist, version)
        first = running_program(wine)
        check(wine.program_processes() == 1, "not exactly one program process")
        wait_for("the program's settings", lambda: wine.registry(SETTINGS_KEY), 30)

        log("second silent install over the running program")
        bkg = os.path.join(wine.host(INSTALL_DIR), "skins", "theme1", "img_bkg.png")
        with open(bkg, "wb") as f:
            f.write(b"not the shipped image")
        ended = wine.watch(first)
        started = time.monotonic()
        wine.wine(setup, "/S", timeout=300)
        install_seconds = time.monotonic() - started
        check(ended() == 0, "the running program was not ended through its Exit command")
        check_installed(wine, dist, version)
        second = running_program(wine)
        check(second != first, "the old instance is still the running one")

        # Wine cannot register the program's logon trigger, so the task is
        # registered here, with the program's name and action.
        xml = os.path.join(work, "task.xml")
        with open(xml, "w") as f:
            f.write('<?xml version="1.0"?>\n<Task version="1.2" '
                    'xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">'
                    f'<Actions><Exec><Command>{INSTALL_DIR}\\{EXE}</Command><Arguments>-hide</Arguments>'
                    '</Exec></Actions></Task>\n')
        wine.wine("schtasks", "/create", "/tn", TASK, "/xml", "Z:" + xml.replace("/", "\\"))
        task = wine.host(r"C:\windows\system32\tasks" + "\\" + TASK)
        check(os.path.isfile(task), "the task was not registered")

        log("silent uninstall")
        ended = wine.watch(second)
        wine.wine(INSTALL_DIR + r"\Uninstall.exe", "/S")
        # The uninstaller runs on from a copy of itself; the entry goes last. A
        # query that fails under load is no proof the entry went: the folder
        # must be gone too.
        try:
            wait_for("the Uninstall entry and the program folder to go",
                     lambda: wine.registry(UNINSTALL_KEY) is None and not os.path.exists(wine.host(INSTALL_DIR)), 120)
        except TestFailure:
            check(not os.path.exists(wine.host(INSTALL_DIR)), f"left behind: {tree_files(wine.host(INSTALL_DIR))}")
            raise
        check(ended() == 0, "the uninstaller did not end the program through its Exit command")
        check(not os.path.exists(wine.host(r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs"
                                           + "\\" + PRODUCT + ".lnk")), "the shortcut is still there")
        check(not os.path.exists(task), "the task is still registered")
        check(wine.program_window() is None and wine.program_processes() == 0, "the program still runs")
        check(wine.registry(SETTINGS_KEY) is not None, "the user's settings were removed")

        installer_size = os.path.getsize(os.path.join(release_dir, f"{PRODUCT} Setup {version}.exe"))
        log(f"figures: installer {installer_size} B, installed {installed_kb} KB, "
            f"silent install over the running program {install_seconds:.1f} s")
    finally:
        wine.close()


def main():
    mode = sys.argv[1]
    try:
        if mode == "release":
            release(*sys.argv[2:6])
        elif mode == "lifecycle":
            lifecycle(*sys.argv[2:5])
        else:
            raise TestFailure(f"unknown mode {mode}")
    except TestFailure as failure:
        log(f"FAILED: {failure}")
        return 1
    log("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
