"""The whole self-update with real X input, in a Wine prefix and X display of
its own.

  selfupdate_test.py BUILD SOURCE VERSION NEWER

The build made two releases with scripts/release.sh (BUILD/test-releases/VERSION
and NEWER, each a tree of its own with tests off), both trusting only a
throwaway release key that signed them. NEWER's folder is the update server's
software folder. VERSION's installer puts VERSION into Program Files and starts
it; the release program asks its built-in host, a local HTTPS server on port
443 (isolate.py gives the test a network and a hosts file of its own). On the settings page the label reads "SW
Version: VVERSION"; "Software update" prompts for NEWER, YES fetches the signed
release record and the package and ends the program with code 0 after starting
the interactive installer from the staging folder under the program data
folder. Its pages are clicked through; afterwards Program Files holds NEWER's
files, the program the finish page starts runs from there with version NEWER,
and its settings page reads "SW Version: VNEWER".
"""

import os
import shutil
import sys
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from installer_test import (PRODUCT, UNINSTALL_KEY, TestFailure, Wine, check, release_tree,  # noqa: E402
                            check_installed, log, run, running_program, wait_for)
import glimra_e2e as e2e  # noqa: E402

UPDATE_HOST = "update.vantrel-glimra.com"
VERSION_PATH = "/t51c/software/version"
GEAR = (420, 26)
PARK = (30, 200)
BOX_SIZE = (450, 280)
YES = (155, 225)
INSTALLER_TITLE = f"^{PRODUCT} Setup"  # later pages add to the caption
NEXT = (354, 312)  # client centre of the installer's Next button (Wine's dialog font)


def capture(name, size=None):
    """The visible window `name` as an Image, or None while it is missing."""
    window = e2e.only_window(name)
    found = e2e.geometry(window) if window else None
    if not found:
        return None
    left, top, width, height = found
    return e2e.capture_screen_rect(left, top, *(size or (width, height)))


def settings_page(artefacts, label):
    """Opens the main window's settings page and returns its picture."""
    for _ in range(3):
        e2e.click_window("^GLIMRA$", GEAR)
        e2e.click_window("^GLIMRA$", PARK)
        try:
            image = wait_for("the settings page", lambda: (lambda i: i if i and i.count(e2e.DEVICE, e2e.is_ink)
                                                           else None)(capture("^GLIMRA$", e2e.WINDOW_SIZE)), 5, 0.3)
            # A second picture once the labels are drawn completely.
            time.sleep(0.5)
            image = capture("^GLIMRA$", e2e.WINDOW_SIZE)
            image.save_png(os.path.join(artefacts, f"{label}.png"))
            return image
        except TestFailure:
            pass
    raise TestFailure("the gear did not open the settings page")


def release(build, version):
    """The folder and build tree of a test release the build made."""
    folder, tree = os.path.join(build, "test-releases", version), release_tree(build, version)
    with open(os.path.join(folder, "version")) as f:
        check(f.read() == version, f"the {version} release's version file")
    return folder, tree


def press_next():
    """Clicks the installer's Next / Install / Finish button, which share one place."""
    e2e.click_window(INSTALLER_TITLE, NEXT)


def settled(title):
    """The window's picture once two captures in a row agree (the page is drawn)."""
    last = [None]

    def same():
        image = capture(title)
        agree = image is not None and last[0] is not None and image.data == last[0].data
        last[0] = image
        return image if agree else None
    return wait_for(f"the window {title} to be drawn", same, 30, 0.3)


def page_changes(before, timeout=30):
    def changed():
        after = capture(INSTALLER_TITLE)
        return after is not None and ((after.width, after.height) != (before.width, before.height) or
                                      e2e.differing_fraction(before, after, (0, 0, before.width, before.height)) > 0.02)
    wait_for("the installer's next page", changed, timeout, 0.3)


def selfupdate(build, source, version, newer):
    build = os.path.abspath(build)
    work = os.path.join(build, "selfupdate-test")
    root = os.path.join(work, "root")
    folder = os.path.join(root, "t51c", "software")
    artefacts = os.path.join(work, "pictures")
    for made in (artefacts, root):
        shutil.rmtree(made, ignore_errors=True)
    os.makedirs(artefacts)
    old_release, old_build = release(build, version)
    newer_release, newer_build = release(build, newer)
    shutil.copytree(newer_release, folder)
    package = os.path.join(folder, f"Software-{newer}.zip")
    with zipfile.ZipFile(package) as z:
        check(z.namelist() == [f"Software-{newer}.exe"], f"the package holds {z.namelist()}")
        newer_installer = z.read(f"Software-{newer}.exe")

    sys.path.insert(0, os.path.join(source, "tools", "updateserver"))
    import updateserver
    state = os.path.join(work, "server")
    # Nothing offered at first: the start-up check stays silent.
    server = updateserver.UpdateServer(root, state, port=443, host="127.0.0.1",
                                       rules={VERSION_PATH: "status/404"}).start()
    requests = []
    remember = server.remember
    server.remember = lambda line, headers: (requests.append(f"{line}\n{headers}"), remember(line, headers))
    wine = None
    try:
        wine = Wine(build, work)
        os.environ["DISPLAY"] = wine.env["DISPLAY"]
        wine.wine(os.path.join(build, "bin", "trust-ca.exe"), e2e.windows_path(server.ca_pem))

        log(f"{version} installed silently and started by its installer")
        setup = os.path.join(old_release, f"{PRODUCT} Setup {version}.exe")
        wine.wine(e2e.windows_path(setup), "/S", timeout=300)
        check_installed(wine, os.path.join(old_build, "dist"), version)
        old = running_program(wine)
        asked = wait_for("the start-up check", lambda: [r for r in requests if VERSION_PATH in r], 60, 0.3)
        check(f"Host: {UPDATE_HOST}" in asked[0], f"asked another host:\n{asked[0]}")
        wait_for("the program's window", lambda: e2e.only_window("^GLIMRA$"), 30, 0.3)
        image = settings_page(artefacts, f"settings_{version}")
        old_text = f"SW Version: V{version}"
        alphabet = e2e.learn_alphabet(image, e2e.SW_VERSION, old_text)

        log(f"Software update offers {newer}; YES")
        del server.rules[VERSION_PATH]
        ended = wine.watch(old)
        e2e.click_window("^GLIMRA$", e2e.centre(e2e.SOFTWARE_UPDATE))
        wait_for("the update prompt", lambda: e2e.only_window("^MessageBox$"), 60, 0.3)
        capture("^MessageBox$", BOX_SIZE).save_png(os.path.join(artefacts, "prompt.png"))
        e2e.click_window("^MessageBox$", YES)

        log("the installer's pages")
        wait_for("the installer's window", lambda: e2e.only_window(INSTALLER_TITLE), 120, 0.3)
        check(ended() == 0, "the program did not end with code 0 after starting the installer")
        started = wine.host(rf"C:\ProgramData\{PRODUCT} Update\Software-{newer}.exe")
        with open(started, "rb") as f:
            check(f.read() == newer_installer, "the staging folder's installer is not the release's")
        check(any(r.startswith("GET /t51c/software/release ") for r in requests), "the release record was not fetched")

        def installed():
            entry = wine.registry(UNINSTALL_KEY) or {}
            return entry.get("DisplayVersion", (None, None))[1] == newer and "EstimatedSize" in entry
        welcome = settled(INSTALLER_TITLE)
        welcome.save_png(os.path.join(artefacts, "installer_welcome_page.png"))
        press_next()  # Welcome: Next
        page_changes(welcome)
        directory = settled(INSTALLER_TITLE)
        directory.save_png(os.path.join(artefacts, "installer_directory_page.png"))
        press_next()  # Directory: Install
        page_changes(directory)
        wait_for(f"{newer} to be installed", installed, 180, 0.5)
        # The finish page shows the welcome page's side picture again.
        side = (0, 0, 150, welcome.height * 3 // 4)
        wait_for("the finish page", lambda: (lambda i: i and e2e.differing_fraction(welcome, i, side) < 0.01)(
            capture(INSTALLER_TITLE)), 60, 0.3)
        settled(INSTALLER_TITLE).save_png(os.path.join(artefacts, "installer_finish_page.png"))
        press_next()  # Finish, "Start" ticked
        wait_for("the installer to end", lambda: e2e.only_window(INSTALLER_TITLE) is None, 60, 0.3)

        log("the program the finish page started")
        check_installed(wine, os.path.join(newer_build, "dist"), newer)
        new = running_program(wine)
        check(new != old, "the old instance is the running one")
        check(wine.program_processes() == 1, "not exactly one program process")
        path = wine.program_window()[2]
        check(wine.probe("version", path)[1].strip() == newer, f"the running {path} is not version {newer}")
        wait_for("the program's window", lambda: e2e.only_window("^GLIMRA$"), 30, 0.3)
        image = settings_page(artefacts, f"settings_{newer}")
        got = e2e.read_label(image, e2e.SW_VERSION, alphabet)
        want = e2e.as_read(f"SW Version: V{newer}", alphabet)
        check(got == want and got != e2e.as_read(old_text, alphabet),
              f"the settings page reads {got!r}, not {want!r}")
        log(f'settings page reads {got!r} ("?": a character the {version} label does not show)')
    finally:
        if wine is not None:
            wine.close()
        server.shutdown()
        server.server_close()


def main():
    started = time.monotonic()
    try:
        selfupdate(*sys.argv[1:5])
    except TestFailure as failure:
        log(f"FAILED: {failure}")
        return 1
    log(f"passed in {time.monotonic() - started:.0f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
