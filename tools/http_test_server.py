#!/usr/bin/env python3
"""HTTP/HTTPS test server with byte ranges and per-request fault injection.

Started by test fixtures as a child process: it binds to the given loopback
address on ephemeral ports, prints one JSON line with the ports on stdout and
runs until its stdin closes or it receives SIGTERM/SIGINT. See README.md.
"""

import argparse
import json
import os
import re
import select
import shutil
import signal
import socket
import ssl
import struct
import subprocess
import sys
import tempfile
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

STALL_LIMIT_S = 60.0
RESET_PAUSE_S = 0.2
CHUNK = 64 * 1024

STOP = threading.Event()

# byte(i) = (i * 131 + seed * 7 + (i >> 8)) & 0xFF. Within one aligned run of
# 256 bytes (i >> 8) is constant, so a run is the pattern (k * 131) & 0xFF
# shifted by a constant; keep all 256 shifted runs and slice them.
_BASE = bytes((k * 131) & 0xFF for k in range(256))
_RUNS = [_BASE.translate(bytes((x + c) & 0xFF for x in range(256)))
         for c in range(256)]


def generated_bytes(seed, start, length):
    """Bytes [start, start + length) of the generated file with this seed."""
    if length <= 0:
        return b""
    first_run = start >> 8
    last_run = (start + length - 1) >> 8
    salt = seed * 7
    data = b"".join(_RUNS[(salt + r) & 0xFF]
                    for r in range(first_run, last_run + 1))
    skip = start - (first_run << 8)
    return data[skip:skip + length]


def parse_range(header, size):
    """Returns (start, end) inclusive, "unsatisfiable", or None (ignore the header)."""
    if header is None:
        return None
    m = re.fullmatch(r"\s*bytes\s*=\s*(\d*)\s*-\s*(\d*)\s*", header)
    if not m or (m.group(1) == "" and m.group(2) == ""):
        # Malformed or multi-range: answer with the whole file, as allowed.
        return None
    a, b = m.group(1), m.group(2)
    if a == "":
        n = int(b)
        if n == 0 or size == 0:
            return "unsatisfiable"
        return (max(0, size - n), size - 1)
    start = int(a)
    end = int(b) if b != "" else None
    if end is not None and end < start:
        return None
    if start >= size:
        return "unsatisfiable"
    if end is None:
        end = size - 1
    return (start, min(end, size - 1))


class RequestLog:
    def __init__(self):
        self._lock = threading.Lock()
        self._entries = []

    def add(self, entry):
        with self._lock:
            entry["seq"] = len(self._entries)
            self._entries.append(entry)

    def snapshot(self):
        with self._lock:
            return list(self._entries)

    def clear(self):
        with self._lock:
            self._entries = []


LOG = RequestLog()


# Query parameters that change what a request gets; only_server and only_host limit them.
FAULT_PARAMETERS = {"stall_after", "reset_after", "throttle", "ignore_range", "wrong_length",
                    "wrong_range_start", "short_body", "no_length_close_after", "lower_length",
                    "redirect", "code", "status", "body"}


class ClientGone(Exception):
    pass


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    def version_string(self):
        return "devu-test-server"
    timeout = 120  # idle keep-alive connections end after this

    def setup(self):
        super().setup()
        self.requests_on_connection = 0

    def log_message(self, fmt, *args):
        if self.server.verbose:
            sys.stderr.write("%s %s\n" % (self.address_string(), fmt % args))

    def do_GET(self):
        self._dispatch(send_body=True)

    def do_HEAD(self):
        self._dispatch(send_body=False)

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        if length > 0:
            self.rfile.read(length)
        self._dispatch(send_body=True)

    # -- request handling -------------------------------------------------

    def _dispatch(self, send_body):
        self.requests_on_connection += 1
        url = urlsplit(self.path)
        if url.path == "/_log" and self.command == "GET":
            return self._reply_simple(200, json.dumps(LOG.snapshot()).encode(),
                                      "application/json", send_body)
        if url.path == "/_log/clear":
            LOG.clear()
            return self._reply_simple(200, b"{}", "application/json", send_body)
        self.log_entry = {
            "method": self.command,
            "path": self.path,
            "range": self.headers.get("Range"),
            "host": self.headers.get("Host"),
            "connection_request": self.requests_on_connection,
            "client_port": self.client_address[1],
            "https": self.server.is_https,
            "sent": 0,
        }
        LOG.add(self.log_entry)
        q = {k: v[-1] for k, v in parse_qs(url.query, keep_blank_values=True).items()}
        if not self._faults_apply_here(q):
            q = {k: v for k, v in q.items() if k not in FAULT_PARAMETERS}
        try:
            if "redirect" in q:
                code = int(q.get("code") or 302)
                body = b"redirect\n"
                self.send_response(code)
                self.send_header("Location", q["redirect"])
                self._length_header(len(body), q)
                self.end_headers()
                if send_body:
                    self.wfile.write(body)
                return
            if "status" in q:
                body = q.get("body", "").encode("utf-8")
                self.send_response(int(q["status"]))
                self.send_header("Content-Type", "text/plain; charset=utf-8")
                self._length_header(len(body), q)
                self.end_headers()
                if send_body:
                    self.wfile.write(body)
                return
            m = re.fullmatch(r"/files/(\d+)(?:/(\d+))?(?:/[^/]*)?", url.path)
            if m:
                return self._serve_file(int(m.group(1)), int(m.group(2) or 0), q, send_body)
            self._reply_simple(404, b"not found\n", "text/plain", send_body)
        except (ConnectionError, ClientGone, ssl.SSLError, OSError):
            self.close_connection = True

    def _faults_apply_here(self, q):
        # only_server: addresses of the servers that inject the faults; only_host / except_host:
        # the Host names (without port) of the requests that get them / that do not. Elsewhere the
        # URL serves normally.
        if "only_server" in q and self.server.server_address[0] not in q["only_server"].split(","):
            return False
        host = (self.headers.get("Host") or "").rsplit(":", 1)[0]
        if "only_host" in q and host not in q["only_host"].split(","):
            return False
        if "except_host" in q and host in q["except_host"].split(","):
            return False
        return True

    def _reply_simple(self, code, body, ctype, send_body):
        self.send_response(code)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if send_body:
            self.wfile.write(body)

    def _length_header(self, length, q):
        name = "content-length" if q.get("lower_length") == "1" else "Content-Length"
        self.send_header(name, str(length))

    def _serve_file(self, size, seed, q, send_body):
        rng = None if q.get("ignore_range") == "1" else parse_range(self.headers.get("Range"), size)
        if rng == "unsatisfiable":
            body = b"range not satisfiable\n"
            self.send_response(416)
            self.send_header("Content-Range", "bytes */%d" % size)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            if send_body:
                self.wfile.write(body)
            return
        if rng is None:
            start, end, status = 0, size - 1, 200
        else:
            (start, end), status = rng, 206
        length = end - start + 1

        # How many body bytes go out and what happens after them.
        limit, after = length, None
        for name, action in (("stall_after", "stall"), ("reset_after", "reset"),
                             ("no_length_close_after", "close")):
            if name in q:
                limit, after = min(length, int(q[name])), action
        if "short_body" in q:
            limit, after = max(0, length - int(q["short_body"])), "close"

        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Accept-Ranges", "bytes")
        if status == 206:
            shown_start = start + int(q.get("wrong_range_start", 0))
            self.send_header("Content-Range", "bytes %d-%d/%d" % (shown_start, end, size))
        if "no_length_close_after" in q:
            self.send_header("Connection", "close")
        else:
            announced = length + int(q.get("wrong_length", 0))
            self._length_header(announced, q)
            if announced != length:
                # The stream cannot be framed any more; end the connection.
                after = after or "close"
        self.end_headers()
        if not send_body:
            return

        throttle = int(q.get("throttle", 0)) or int(q.get("throttle_everywhere", 0))
        self._send_generated(seed, start, limit, throttle)
        if after == "stall":
            self._stall()
        elif after == "reset":
            # A short pause lets the client take the bytes before the reset,
            # which would otherwise discard what it has not read yet.
            STOP.wait(RESET_PAUSE_S)
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                       struct.pack("ii", 1, 0))
            self.close_connection = True
            self.connection.close()
        elif after == "close":
            self.close_connection = True

    def _send_generated(self, seed, start, count, throttle):
        began = time.monotonic()
        sent = 0
        step = CHUNK if throttle <= 0 else max(1, min(CHUNK, throttle // 20))
        while sent < count:
            if STOP.is_set():
                raise ClientGone()
            n = min(step, count - sent)
            self.wfile.write(generated_bytes(seed, start + sent, n))
            sent += n
            self.log_entry["sent"] = sent
            if throttle > 0:
                due = began + sent / throttle
                delay = due - time.monotonic()
                if delay > 0:
                    time.sleep(delay)

    def _stall(self):
        """Keep the socket open, sending nothing, until the client leaves."""
        self.close_connection = True
        deadline = time.monotonic() + STALL_LIMIT_S
        sock = self.connection
        while not STOP.is_set() and time.monotonic() < deadline:
            readable, _, _ = select.select([sock], [], [], 0.2)
            if not readable:
                continue
            try:
                if not sock.recv(4096):
                    return
            except ssl.SSLWantReadError:
                continue
            except (OSError, ssl.SSLError):
                return


class TestServer(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = False

    def __init__(self, host, ssl_context=None, verbose=False, port=0):
        super().__init__((host, port), Handler)
        self.ssl_context = ssl_context
        self.is_https = ssl_context is not None
        self.verbose = verbose

    def finish_request(self, request, client_address):
        # The TLS handshake runs here, on the connection's own thread, so a
        # silent client cannot hold up the accept loop.
        if self.ssl_context is not None:
            try:
                request.settimeout(30)
                request = self.ssl_context.wrap_socket(request, server_side=True)
                request.settimeout(None)
            except (OSError, ssl.SSLError):
                request.close()
                return
        super().finish_request(request, client_address)

    def handle_error(self, request, client_address):
        if self.verbose:
            super().handle_error(request, client_address)


def make_ssl_context(workdir, host):
    cert = os.path.join(workdir, "cert.pem")
    key = os.path.join(workdir, "key.pem")
    subprocess.run(
        ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
         "-subj", "/CN=localhost", "-addext",
         "subjectAltName=DNS:localhost,IP:%s" % host,
         "-keyout", key, "-out", cert],
        check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.load_cert_chain(cert, key)
    return ctx, cert


def watch_stdin():
    try:
        # Raw fd reads: a buffered reader would still hold its lock at exit.
        fd = sys.stdin.fileno()
        while os.read(fd, 4096):
            pass
    except (OSError, ValueError):
        pass
    STOP.set()


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("host", nargs="?", default="127.0.0.1",
                    help="address to bind (default 127.0.0.1)")
    ap.add_argument("--no-https", action="store_true", help="serve plain HTTP only")
    ap.add_argument("--port", type=int, default=0,
                    help="HTTP port (default: an ephemeral one); HTTPS always gets an ephemeral port")
    ap.add_argument("--ignore-stdin", action="store_true",
                    help="keep running when stdin closes (manual use)")
    ap.add_argument("--verbose", action="store_true", help="log requests to stderr")
    args = ap.parse_args()

    signal.signal(signal.SIGTERM, lambda *_: STOP.set())
    signal.signal(signal.SIGINT, lambda *_: STOP.set())

    workdir = tempfile.mkdtemp(prefix="devu-http-test-")
    servers, running = [], []
    try:
        servers.append(TestServer(args.host, verbose=args.verbose, port=args.port))
        ready = {"host": args.host, "port": servers[0].server_address[1]}
        if not args.no_https:
            ctx, cert = make_ssl_context(workdir, args.host)
            servers.append(TestServer(args.host, ssl_context=ctx, verbose=args.verbose))
            ready["https_port"] = servers[1].server_address[1]
            ready["cert"] = cert
        for s in servers:
            threading.Thread(target=s.serve_forever, kwargs={"poll_interval": 0.2},
                             daemon=True).start()
            running.append(s)
        if not args.ignore_stdin:
            threading.Thread(target=watch_stdin, daemon=True).start()
        print(json.dumps(ready), flush=True)
        while not STOP.wait(0.2):
            pass
    finally:
        STOP.set()
        for s in running:
            s.shutdown()
        for s in servers:
            s.server_close()
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    main()
