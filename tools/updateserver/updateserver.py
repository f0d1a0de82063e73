#!/usr/bin/python3
"""A local HTTPS update server for development and tests.

Serves the update folder layout from a directory ("/t51c/software/version",
"/t51c/software/Software-<version>.zip"; runs of slashes count as one, so the
program's "...software///Software-..." address works) and misbehaves on
demand, either under /fault/... addresses or for any path through a rule.

Fault modes (MODE[/ARG]); under /fault/MODE/ARG/... any further path is
ignored, so a base address ending in /fault/MODE/ARG makes the program's own
paths misbehave:
  status/CODE      that status with a short text body ("Not Found", ...)
  text/TEXT        200 with TEXT (URL-decoded) as the body
  bytes/N          200, Content-Length N, N pattern bytes (byte i = i % 251)
  empty            200 with an empty body
  nolength/N       N pattern bytes without Content-Length, then close
  trickle/TEXT     Content-Length, then TEXT one byte a second
  stall/N          Content-Length N, then nothing (until the client gives up, at most 120 s)
  cut/N            Content-Length N, half the bytes, then close
  reset/N          Content-Length N, half the bytes, then a TCP reset

Control (plain GETs):
  /_control/rule?path=P&mode=M   answer P with mode M from now on
  /_control/clear                drop every rule
  /_control/last                 the previous request's line and headers, as text

The certificate is signed by a CA made with openssl in the state folder
(ca.pem, server.pem, server.key); it names localhost, 127.0.0.1 and the
program's default update host. Trust ca.pem in the Wine prefix with
trust-ca.exe (see README.md here).
"""

import argparse
import os
import shutil
import socket
import ssl
import struct
import subprocess
import sys
import threading
import time
import zipfile
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, unquote, urlsplit

DEFAULT_HOST = "update.vantrel-glimra.com"
SOFTWARE = "/t51c/software/"
STATUS_BODIES = {404: b"Not Found", 500: b"Internal Server Error"}


def pattern(start, count):
    return bytes((i % 251) for i in range(start, start + count))


_BLOCK = pattern(0, 251 * 1024)  # a whole number of periods: blocks repeat seamlessly


def pattern_chunks(count):
    sent = 0
    while sent < count:
        n = min(len(_BLOCK), count - sent)
        yield _BLOCK[:n]
        sent += n


# ---------------------------------------------------------------- certificates

def ensure_certificates(state_dir):
    """Makes the CA and the server certificate once; returns (ca.pem, server.pem, server.key)."""
    os.makedirs(state_dir, exist_ok=True)
    ca_key, ca_pem = os.path.join(state_dir, "ca.key"), os.path.join(state_dir, "ca.pem")
    key, pem = os.path.join(state_dir, "server.key"), os.path.join(state_dir, "server.pem")
    if all(os.path.exists(p) for p in (ca_pem, pem, key)):
        return ca_pem, pem, key
    tmp = state_dir + f".tmp{os.getpid()}"
    shutil.rmtree(tmp, ignore_errors=True)
    os.makedirs(tmp)

    def openssl(*args):
        subprocess.run(["openssl", *args], check=True, capture_output=True, cwd=tmp)

    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "3650", "-keyout", "ca.key", "-out", "ca.pem",
            "-subj", "/CN=Glimra Test Update CA", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out", "server.csr",
            "-subj", "/CN=localhost")
    with open(os.path.join(tmp, "server.ext"), "w") as f:
        f.write(f"subjectAltName=DNS:localhost,DNS:{DEFAULT_HOST},IP:127.0.0.1\n"
                "basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\n"
                "extendedKeyUsage=serverAuth\n")
    openssl("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-days", "3650", "-out", "server.pem", "-extfile", "server.ext")
    for name in ("ca.key", "ca.pem", "server.key", "server.pem"):
        os.replace(os.path.join(tmp, name), os.path.join(state_dir, name))
    shutil.rmtree(tmp, ignore_errors=True)
    return ca_pem, pem, key


# ---------------------------------------------------------------- server

class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):
        if self.server.verbose:
            sys.stderr.write(f"[updateserver] {self.address_string()} {fmt % args}\n")

    def do_GET(self):
        # A client may send UTF-8 unescaped; the request line arrives as Latin-1.
        split = urlsplit(self.path.encode("latin-1").decode("utf-8", "replace"))
        path = "/" + "/".join(p for p in split.path.split("/") if p)
        if split.path.endswith("/") and path != "/":
            path += "/"
        if path.startswith("/_control/"):
            return self.control(path, parse_qs(split.query))
        self.server.remember(self.requestline, self.headers)
        if path.startswith("/fault/"):
            return self.fault(unquote(path[len("/fault/"):]))
        rule = self.server.rules.get(path)
        if rule is not None:
            return self.fault(rule)
        return self.serve_file(path)

    # -- answers

    def head(self, status, length=None, close=False):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        if length is not None:
            self.send_header("Content-Length", str(length))
        if close:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()

    def body(self, status, data):
        self.head(status, len(data))
        self.wfile.write(data)

    def serve_file(self, path):
        local = os.path.normpath(os.path.join(self.server.root, path.lstrip("/")))
        if not local.startswith(os.path.abspath(self.server.root)) or not os.path.isfile(local):
            return self.body(404, STATUS_BODIES[404])
        size = os.path.getsize(local)
        self.head(200, size)
        with open(local, "rb") as f:
            shutil.copyfileobj(f, self.wfile, 256 * 1024)

    def fault(self, spec):
        # Only the first segment after the mode counts: a base address ending
        # in /fault/MODE/ARG makes every path below it misbehave.
        mode, _, rest = spec.partition("/")
        arg = rest.split("/")[0]
        n = int(arg) if arg.isdigit() else 0
        if mode == "status":
            return self.body(n, STATUS_BODIES.get(n, b"Error %d" % n))
        if mode == "text":
            return self.body(200, arg.encode("utf-8"))
        if mode == "empty":
            return self.body(200, b"")
        if mode == "bytes":
            self.head(200, n)
            for chunk in pattern_chunks(n):
                self.wfile.write(chunk)
            return
        if mode == "nolength":
            self.head(200, None, close=True)
            for chunk in pattern_chunks(n):
                self.wfile.write(chunk)
            return
        if mode == "trickle":
            data = arg.encode("utf-8")
            self.head(200, len(data), close=True)
            for i in range(len(data)):
                self.wfile.write(data[i:i + 1])
                self.wfile.flush()
                time.sleep(1)
            return
        if mode == "stall":
            self.head(200, n, close=True)
            self.wfile.flush()
            self.request.settimeout(120)
            try:
                self.request.recv(1)  # returns when the client closes, or times out
            except OSError:
                pass
            return
        if mode in ("cut", "reset"):
            self.head(200, n, close=True)
            self.wfile.write(pattern(0, n // 2))
            self.wfile.flush()
            if mode == "reset":
                self.request.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.request.close()
            return
        return self.body(400, b"unknown fault " + spec.encode())

    def control(self, path, query):
        if path == "/_control/rule":
            self.server.rules[query["path"][0]] = query["mode"][0]
        elif path == "/_control/clear":
            self.server.rules.clear()
        elif path == "/_control/last":
            return self.body(200, self.server.last_request.encode("utf-8"))
        else:
            return self.body(404, STATUS_BODIES[404])
        self.body(200, b"ok")


class UpdateServer(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, root, state_dir, port=0, host="127.0.0.1", rules=None, verbose=False):
        super().__init__((host, port), Handler)
        self.root = os.path.abspath(root)
        self.rules = dict(rules or {})
        self.verbose = verbose
        self.last_request = ""
        self._lock = threading.Lock()
        ca, pem, key = ensure_certificates(state_dir)
        self.ca_pem = ca
        self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.context.load_cert_chain(pem, key)

    @property
    def url(self):
        return f"https://localhost:{self.server_address[1]}"

    def remember(self, line, headers):
        with self._lock:
            self.last_request = line + "\r\n" + str(headers)

    def finish_request(self, request, client_address):
        # The TLS handshake runs in the request's thread: a client that stalls
        # there holds up only itself.
        request.settimeout(130)
        tls = self.context.wrap_socket(request, server_side=True)
        self.RequestHandlerClass(tls, client_address, self)

    def handle_error(self, request, client_address):
        if self.verbose:
            super().handle_error(request, client_address)

    def start(self):
        """Serves in a background thread (for tests in Python)."""
        thread = threading.Thread(target=self.serve_forever, daemon=True)
        thread.start()
        return self


def write_demo_root(root, offer):
    """The folder layout with a version file and a small package for `offer`."""
    folder = os.path.join(root, SOFTWARE.strip("/"))
    os.makedirs(folder, exist_ok=True)
    # Written aside and renamed: a server may be reading the old files.
    version, package = os.path.join(folder, "version"), os.path.join(folder, f"Software-{offer}.zip")
    with open(version + f".{os.getpid()}", "w") as f:
        f.write(offer)
    os.replace(version + f".{os.getpid()}", version)
    with zipfile.ZipFile(package + f".{os.getpid()}", "w") as z:
        z.writestr("readme.txt", f"Vantrel Glimra {offer} (local test package)\r\n")
    os.replace(package + f".{os.getpid()}", package)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--root", help="folder served (default: a demo folder in the state folder)")
    parser.add_argument("--state-dir", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), ".state"),
                        help="where the CA and certificates live (made once)")
    parser.add_argument("--port", type=int, default=8443, help="0 picks a free port")
    parser.add_argument("--bind", default="127.0.0.1")
    parser.add_argument("--offer", default="1.0.2.0", help="version the demo folder offers")
    parser.add_argument("--rule", action="append", default=[], metavar="PATH=MODE",
                        help="answer PATH with a fault mode, e.g. /t51c/software/version=status/404")
    parser.add_argument("--url-file", help="write the server's base address here once it listens")
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()

    root = args.root
    if root is None:
        root = os.path.join(args.state_dir, "root")
        write_demo_root(root, args.offer)
    rules = dict(r.split("=", 1) for r in args.rule)
    server = UpdateServer(root, args.state_dir, args.port, args.bind, rules, args.verbose)
    if args.url_file:
        with open(args.url_file + ".tmp", "w") as f:
            f.write(server.url)
        os.replace(args.url_file + ".tmp", args.url_file)
    print(f"serving {root} at {server.url} (CA {server.ca_pem})", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
