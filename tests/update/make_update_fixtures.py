#!/usr/bin/env python3
"""Writes the update tests' archives and signatures into a folder.

make_update_fixtures.py OUT_DIR SIGN_SCRIPT KEYS_DIR
make_update_fixtures.py --links OUT_DIR    (the links again: the tests replace one)

- edge.zip: entry names that the cleaning rules turn into paths, folders and
  time stamps, attributes from DOS-family and Unix hosts.
- hostile-*.zip: one hostile entry between two good ones each; hostile.txt
  lists "archive<TAB>expected outcome<TAB>path it may land at, or -".
- seed-*.zip: small archives for the fuzz run.
- link-base/: a folder holding a link to a folder and a link to a file, both
  into link-target/ (Wine shows host symbolic links as reparse points);
  links.zip writes through both names.
- pkg-*.zip and their .sig files: signed packages (test key; one with the
  untrusted key) for the signature and installation tests.
- rec-*.txt and their .sig files: signed release records for pkg-a.zip
  (9.9.9.9) and each way one can be wrong.
"""
import hashlib
import io
import os
import shutil
import struct
import subprocess
import sys
import zipfile

LINKS_ONLY = sys.argv[1] == "--links"
OUT, SIGN, KEYS = (sys.argv[2], None, None) if LINKS_ONLY else sys.argv[1:4]
DOS, UNIX = 0, 3
STAMP = (2021, 3, 4, 5, 6, 8)


def entry(name, data=b"", system=UNIX, attr=None, date_time=STAMP, extra=b"", method=zipfile.ZIP_DEFLATED):
    info = zipfile.ZipInfo(name, date_time=date_time)
    info.create_system = system
    info.compress_type = method
    if attr is None:
        attr = (0o40755 << 16 | 0x10) if name.endswith("/") else (0o100644 << 16)
    info.external_attr = attr
    info.extra = extra
    return info, data


def build(entries):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w") as z:
        for info, data in entries:
            z.writestr(info, data)
    return bytearray(buf.getvalue())


def headers(zipdata, name):
    """Offsets of the local and central headers of the entry called name."""
    end = zipdata.rfind(b"PK\x05\x06")
    count, size, start = struct.unpack_from("<HII", zipdata, end + 10)
    pos = start
    for _ in range(count):
        nlen, xlen, clen = struct.unpack_from("<HHH", zipdata, pos + 28)
        local = struct.unpack_from("<I", zipdata, pos + 42)[0]
        if bytes(zipdata[pos + 46:pos + 46 + nlen]) == name:
            return local, pos
        pos += 46 + nlen + xlen + clen
    raise KeyError(name)


# (field, local offset, central offset, format)
FIELDS = {"flag": (6, 8, "<H"), "method": (8, 10, "<H"), "csize": (18, 20, "<I"), "usize": (22, 24, "<I")}


def patch(zipdata, name, field, value):
    local, central = headers(zipdata, name)
    lo, co, fmt = FIELDS[field]
    struct.pack_into(fmt, zipdata, local + lo, value)
    struct.pack_into(fmt, zipdata, central + co, value)


def write(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def good(before=True):
    return entry("good-before.txt" if before else "good-after.txt", b"good " + (b"before" if before else b"after"))


def edge_archive():
    ut = struct.pack("<HHB3i", 0x5455, 13, 7, 1600000000, 1600000100, 1500000000)
    return build([
        entry("C:\\x\\setup.exe", b"setup"),
        entry("/abs/file", b"abs"),
        entry("a\\..\\..\\b.txt", b"first b"),
        entry("../b.txt", b"second b"),
        entry("tree/"),
        entry("tree/sub/"),
        entry("tree/sub/deep/file.txt", b"deep", date_time=(2019, 12, 31, 23, 58, 2)),
        entry("tree/sub/ut.txt", b"ut", extra=ut),
        entry("tree/empty/"),
        entry("readonly.txt", b"read only", system=DOS, attr=0x21),
        entry("hidden.txt", b"hidden", system=DOS, attr=0x22),
        entry("unix-readonly.txt", b"r--", attr=0o100444 << 16),
        entry("stored.txt", b"stored " * 50, method=zipfile.ZIP_STORED),
    ])


HOSTILE = []  # (archive name, outcome, landing path or "-")


def hostile(case, outcome, lands, *entries, patches=()):
    data = build([good(True), *entries, good(False)])
    for p in patches:
        p(data)
    name = "hostile-%02d-%s.zip" % (len(HOSTILE), case)
    write(name, data)
    HOSTILE.append((name, outcome, lands))


def hostile_archives():
    w = "FileWritten"
    r = "NameRefused"
    hostile("parent-backslash", w, "evil.txt", entry("..\\..\\..\\evil.txt", b"x"))
    hostile("parent-mixed", w, "evil.txt", entry("..\\/..\\/../evil.txt", b"x"))
    hostile("inner-parent-mixed", w, "evil.txt", entry("a/..\\..\\../evil.txt", b"x"))
    hostile("trailing-parent", r, "-", entry("a/..", b"x"))
    hostile("trailing-parent-folder", r, "-", entry("a/../"))
    hostile("only-parent", r, "-", entry("..", b"x"))
    hostile("dot-segment", r, "-", entry("a/./b.txt", b"x"))
    hostile("dot-dot-dot", r, "-", entry("a/.../b.txt", b"x"))
    hostile("unc", w, "server\\share\\unc.txt", entry("\\\\server\\share\\unc.txt", b"x"))
    hostile("unc-long", r, "-", entry("\\\\?\\C:\\evil.txt", b"x"))
    hostile("device-path", r, "-", entry("\\\\.\\C:\\evil.txt", b"x"))
    hostile("drive-relative", w, "caldris-drive-relative.txt", entry("C:caldris-drive-relative.txt", b"x"))
    hostile("drive-relative-parent", w, "evil.txt", entry("C:..\\evil.txt", b"x"))
    hostile("other-drive", w, "tmp\\caldris-escape.txt", entry("Z:\\tmp\\caldris-escape.txt", b"x"))
    hostile("unix-absolute", w, "tmp\\caldris-escape.txt", entry("/tmp/caldris-escape.txt", b"x"))
    hostile("trailing-dot", r, "-", entry("evil.txt.", b"x"))
    hostile("trailing-space", r, "-", entry("evil.txt ", b"x"))
    hostile("folder-trailing-dot", r, "-", entry("dir./evil.txt", b"x"))
    hostile("stream", r, "-", entry("good-before.txt:evil", b"x"))
    hostile("stream-data", r, "-", entry("evil.txt::$DATA", b"x"))
    hostile("device-con", r, "-", entry("CON", b"x"))
    hostile("device-nul-ext", r, "-", entry("sub/nul.txt", b"x"))
    hostile("device-com", r, "-", entry("com1 .log", b"x"))
    hostile("device-lpt", r, "-", entry("a/LPT9", b"x"))
    hostile("wildcards", r, "-", entry("what?*.txt", b"x"))
    hostile("long-name", r, "-", entry("n" * 261, b"x"))
    hostile("long-ok", w, "n" * 150 + ".txt", entry("n" * 150 + ".txt", b"x"))
    hostile("nul-in-name", r, "-", entry("evil.exe#.txt", b"x"),
            patches=[lambda d: d.__setitem__(slice(None), d.replace(b"evil.exe#.txt", b"evil.exe\x00.txt"))])
    hostile("symlink", "SymbolicLink", "-", entry("link", b"../../../outside", attr=0o120777 << 16))
    hostile("symlink-folder", "SymbolicLink", "-", entry("linkdir/", b"", attr=0o120777 << 16))
    hostile("encrypted", "PasswordRequired", "-", entry("secret.txt", b"secret"),
            patches=[lambda d: patch(d, b"secret.txt", "flag", 1)])
    hostile("claims-less", "BrokenData", "-", entry("liar.txt", b"L" * 5000),
            patches=[lambda d: patch(d, b"liar.txt", "usize", 100)])
    hostile("claims-more", "BrokenData", "-", entry("liar.txt", b"L" * 5000),
            patches=[lambda d: patch(d, b"liar.txt", "usize", 90000)])
    hostile("claims-huge", "TooLarge", "-", entry("huge.bin", b"\0" * 1000),
            patches=[lambda d: patch(d, b"huge.bin", "usize", 0xFFFFFF00)])
    hostile("stored-claims-more", "BrokenData", "-", entry("st.txt", b"s" * 300, method=zipfile.ZIP_STORED),
            patches=[lambda d: patch(d, b"st.txt", "usize", 600)])
    hostile("method-unknown", "BrokenData", "-", entry("m.txt", b"m" * 300),
            patches=[lambda d: patch(d, b"m.txt", "method", 99)])

    def corrupt(d):
        local, _ = headers(d, b"corrupt.txt")
        start = local + 30 + len(b"corrupt.txt")
        for i in range(start + 2, start + 40):
            d[i] ^= 0x5A
    hostile("corrupt-deflate", "BrokenData", "-", entry("corrupt.txt", bytes(range(256)) * 40), patches=[corrupt])
    hostile("file-over-folder", "NotCreated", "-", entry("good-before.txt/inner.txt", b"x"))

    with open(os.path.join(OUT, "hostile.txt"), "w", newline="\n") as f:
        for name, outcome, lands in HOSTILE:
            f.write("%s\t%s\t%s\n" % (name, outcome, lands))


def links():
    base, target = os.path.abspath(os.path.join(OUT, "link-base")), os.path.abspath(os.path.join(OUT, "link-target"))
    for folder in (base, target):
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
    with open(os.path.join(target, "victim.txt"), "wb") as f:
        f.write(b"victim")
    os.symlink(target, os.path.join(base, "redirect"))
    os.symlink(os.path.join(target, "victim.txt"), os.path.join(base, "victim-link.txt"))
    write("links.zip", build([good(True), entry("redirect/evil.txt", b"x"), entry("victim-link.txt", b"overwritten"),
                              good(False)]))


def sign(path, key):
    subprocess.run([SIGN, path, os.path.join(KEYS, key)], check=True, stdout=subprocess.DEVNULL)


def packages():
    installer = entry("Software-9.9.9.9.exe", b"MZ installer of 9.9.9.9 " * 100)
    readme = entry("docs/readme.txt", b"readme")
    write("pkg-a.zip", build([installer, readme]))
    write("pkg-b.zip", build([entry("Software-9.9.9.9.exe", b"MZ another build " * 100)]))
    write("pkg-no-installer.zip", build([readme]))
    write("pkg-not-a-zip.zip", b"<html>404 Not Found</html>")
    for name in ("pkg-a.zip", "pkg-b.zip", "pkg-no-installer.zip", "pkg-not-a-zip.zip"):
        sign(os.path.join(OUT, name), "test-update-key.pem")
    with open(os.path.join(OUT, "pkg-a.zip"), "rb") as f:
        package = f.read()
    write("pkg-a-untrusted.zip", package)
    write("pkg-a-truncated.zip", package[:200])
    sign(os.path.join(OUT, "pkg-a-untrusted.zip"), "untrusted-update-key.pem")



def records():
    with zipfile.ZipFile(os.path.join(OUT, "pkg-a.zip")) as z:
        installer = z.read("Software-9.9.9.9.exe")

    def record(name, version="9.9.9.9", key="test-update-key.pem", of="pkg-a.zip", **changes):
        with open(os.path.join(OUT, of), "rb") as f:
            package = f.read()
        fields = {"product": "Vantrel Glimra", "version": version, "package": f"Software-{version}.zip",
                  "length": str(len(package)), "sha256": hashlib.sha256(package).hexdigest(),
                  "installer": f"Software-{version}.exe", "installer-sha256": hashlib.sha256(installer).hexdigest(),
                  "issued": "2026-12-07"}
        fields.update({k.replace("_", "-"): v for k, v in changes.items()})
        write(name, "".join(f"{k}={v}\n" for k, v in fields.items()).encode("latin-1"))
        if key:
            sign(os.path.join(OUT, name), key)

    record("rec-good.txt")
    record("rec-unsigned.txt", key=None)
    record("rec-untrusted.txt", key="untrusted-update-key.pem")
    record("rec-older.txt", "4.9.9.9")
    record("rec-equal.txt", "5.0.0.0")
    record("rec-other-product.txt", product="Another Product")
    record("rec-other-version.txt", "9.9.9.8")
    record("rec-no-installer.txt", of="pkg-no-installer.zip")
    record("rec-not-a-zip.txt", of="pkg-not-a-zip.zip")
    with open(os.path.join(OUT, "pkg-a.zip"), "rb") as f:
        package = f.read()
    record("rec-short.txt", length=str(len(package) - 1))
    record("rec-bad-hash.txt", sha256=hashlib.sha256(package + b"x").hexdigest())
    record("rec-bad-installer-hash.txt", installer_sha256=hashlib.sha256(b"MZ other").hexdigest())
    for name, version in (("dots", "\\..\\..\\"), ("newline", "9.9.9.9\n"), ("nul", "9.9.9.9\0"),
                          ("abc", "abc"), ("five", "9.9.9.9.9")):
        record(f"rec-version-{name}.txt", version)


os.makedirs(OUT, exist_ok=True)
if LINKS_ONLY:
    links()
    sys.exit(0)
write("edge.zip", edge_archive())
hostile_archives()
links()
write("seed-small.zip", build([entry("a/"), entry("a/b.txt", b"b" * 3000), entry("c.txt", b"c", system=DOS, attr=0x20),
                               entry("s.txt", b"s" * 100, method=zipfile.ZIP_STORED)]))
packages()
records()
