"""Runs one test apart from the tests beside it, so that ctest may run them together.

  isolate.py [--wine] [--host NAME]... BUILD WORK -- COMMAND...

--wine       A Wine prefix of its own (a clone of BUILD/wineprefix-template,
             which is prepared once), a persistent wineserver and an X display
             of its own: no shared registry, named objects, tray or pointer.
             WINEPREFIX and DISPLAY are set for COMMAND; the server is ended
             when COMMAND ends.
--host NAME  A network of its own, with only a loopback, and a hosts file that
             resolves NAME to 127.0.0.1: the test may serve on any port, 443
             included, while another test does too, and the machine's hosts
             file is never edited. Wine opens sockets in its server, so the
             server starts inside.
E2E_WORK is set to WORK (emptied first) for the files the test keeps to itself.
Exits with COMMAND's code.
"""

import fcntl
import os
import shutil
import signal
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from glimra_e2e import WINE64, start_display  # noqa: E402

WINESERVER = "/usr/lib/wine/wineserver"
SOURCE = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
# Wine's own binaries: nothing in a prefix writes them in place.
SHARED_SUFFIXES = (".dll", ".exe", ".sys", ".drv", ".ocx", ".acm", ".cpl", ".tlb", ".nls", ".ttf", ".fon")
INSIDE = "GLIMRA_ISOLATED_NETWORK"


def fresh_prefix(build, prefix):
    """A new prefix at `prefix`, as scripts/wine-env.sh prepares one: Wine's
    binaries hard-linked from the template, the registry and everything else
    copied. Much faster than a wineboot of its own."""
    template = os.path.join(os.path.abspath(build), "wineprefix-template")
    with open(template + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not os.path.exists(os.path.join(template, ".caldris-ready")):
            subprocess.run(["bash", "-c", '. "$1/scripts/wine-env.sh" && wine_prepare_prefix "$2"', "bash", SOURCE,
                            template], check=True, timeout=400, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def link_or_copy(source, target):
        if source.lower().endswith(SHARED_SUFFIXES):
            os.link(source, target)
        else:
            shutil.copy2(source, target)
    stop_server(prefix)
    shutil.rmtree(prefix, ignore_errors=True)
    shutil.copytree(template, prefix, symlinks=True, copy_function=link_or_copy)


def stop_server(prefix):
    """Ends the wineserver of `prefix` (one left by a killed run, too) and every Wine process on it."""
    if os.path.isdir(prefix):
        env = dict(os.environ, WINEPREFIX=prefix)
        subprocess.run([WINESERVER, "-k"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        subprocess.run([WINESERVER, "-w"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30)


def parse(argv):
    usage = __doc__.strip().splitlines()[2].strip()
    if "--" not in argv:
        sys.exit(f"usage: {usage}")
    options, command = argv[:argv.index("--")], argv[argv.index("--") + 1:]
    wine, hosts, places = False, [], []
    i = 0
    while i < len(options):
        if options[i] == "--wine":
            wine = True
        elif options[i] == "--host" and i + 1 < len(options):
            hosts.append(options[i + 1])
            i += 1
        else:
            places.append(options[i])
        i += 1
    if len(places) != 2 or not command:
        sys.exit(f"usage: {usage}")
    return wine, hosts, os.path.abspath(places[0]), os.path.abspath(places[1]), command


def in_own_network(argv, work, hosts):
    """Runs this program again inside a network and mount namespace of its own."""
    copy = os.path.join(work, "hosts")
    with open("/etc/hosts") as f, open(copy, "w") as out:
        out.write(f.read() + "".join(f"\n127.0.0.1 {name}\n" for name in hosts))
    script = 'ip link set lo up && mount --bind "$1" /etc/hosts && shift && exec "$@"'
    return subprocess.run(["unshare", "--net", "--mount", "--propagation", "private", "sh", "-c", script, "sh",
                           copy, sys.executable, os.path.abspath(__file__), *argv],
                          env=dict(os.environ, **{INSIDE: "1"})).returncode


def main(argv):
    wine, hosts, build, work, command = parse(argv)
    if hosts and os.environ.get(INSIDE) != "1":
        prefix = os.path.join(work, "prefix")
        stop_server(prefix)  # a server outside the new network would open the test's sockets
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        return in_own_network(argv, work, hosts)
    if not hosts:
        stop_server(os.path.join(work, "prefix"))
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
    # ctest ends a test that runs over its time with SIGTERM: clean up then too.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(128 + signal.SIGTERM))
    env = dict(os.environ, E2E_WORK=work)
    env.pop(INSIDE, None)
    xvfb = None
    prefix = os.path.join(work, "prefix")
    try:
        if wine:
            fresh_prefix(build, prefix)
            xvfb, env["DISPLAY"] = start_display()
            env["WINEPREFIX"] = prefix
            subprocess.run([WINESERVER, "-p"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, check=True)
            # Wine's own services start with the first process; their output stays off the test's.
            subprocess.run([WINE64, "cmd", "/c", "exit"], env=env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        return subprocess.run(command, env=env).returncode
    finally:
        if wine:
            stop_server(prefix)
        if xvfb is not None:
            xvfb.kill()
            xvfb.wait()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
