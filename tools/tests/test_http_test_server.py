"""Tests of the fault-injecting HTTP test server, run against the real process."""

import http.client
import json
import os
import signal
import socket
import ssl
import subprocess
import sys
import time
import unittest
import urllib.parse

SERVER = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                      "http_test_server.py")


def expected(size, seed, start, end):
    """Reference generator, written independently of the server's fast path."""
    return bytes((i * 131 + seed * 7 + (i >> 8)) & 0xFF for i in range(start, end + 1))


def start_server(*extra):
    proc = subprocess.Popen([sys.executable, SERVER, "127.0.0.1", *extra],
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    line = proc.stdout.readline()
    if not line:
        proc.kill()
        raise RuntimeError("server did not start")
    return proc, json.loads(line)


def raw_exchange(port, request, timeout=5.0):
    """Sends raw request bytes and returns everything until the server closes."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(request)
        data = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                return data
            data += chunk


class ServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.proc, info = start_server()
        cls.port = info["port"]
        cls.https_port = info["https_port"]

    @classmethod
    def tearDownClass(cls):
        cls.proc.stdin.close()
        cls.proc.wait(10)
        cls.proc.stdout.close()

    def conn(self, timeout=10.0):
        c = http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)
        self.addCleanup(c.close)
        return c

    def get(self, path, headers=None, timeout=10.0):
        c = self.conn(timeout)
        c.request("GET", path, headers=headers or {})
        r = c.getresponse()
        return r, r.read()

    def log(self):
        return json.loads(self.get("/_log")[1])

    def clear_log(self):
        c = self.conn()
        c.request("POST", "/_log/clear")
        c.getresponse().read()

    # -- files and ranges ---------------------------------------------------

    def test_whole_file_matches_generator(self):
        for size, seed in ((0, 0), (1, 0), (1000, 0), (70000, 3), (300000, 255)):
            with self.subTest(size=size, seed=seed):
                path = "/files/%d/%d" % (size, seed) if seed else "/files/%d" % size
                r, body = self.get(path)
                self.assertEqual(r.status, 200)
                self.assertEqual(int(r.getheader("Content-Length")), size)
                self.assertEqual(body, expected(size, seed, 0, size - 1))

    def test_ranges(self):
        size, seed = 200000, 9
        cases = [  # header, start, end
            ("bytes=0-0", 0, 0),
            ("bytes=255-256", 255, 256),
            ("bytes=1000-70000", 1000, 70000),
            ("bytes=199990-", 199990, size - 1),
            ("bytes=199000-500000", 199000, size - 1),
            ("bytes=-10", size - 10, size - 1),
            ("bytes=-999999", 0, size - 1),
        ]
        for header, start, end in cases:
            with self.subTest(header=header):
                r, body = self.get("/files/%d/%d" % (size, seed), {"Range": header})
                self.assertEqual(r.status, 206)
                self.assertEqual(r.getheader("Content-Range"),
                                 "bytes %d-%d/%d" % (start, end, size))
                self.assertEqual(int(r.getheader("Content-Length")), end - start + 1)
                self.assertEqual(body, expected(size, seed, start, end))
        # Far offsets, where (i >> 8) no longer fits in a byte.
        r, body = self.get("/files/5000000000/77", {"Range": "bytes=4999999000-4999999999"})
        self.assertEqual(r.getheader("Content-Range"), "bytes 4999999000-4999999999/5000000000")
        self.assertEqual(body, expected(0, 77, 4999999000, 4999999999))

    def test_unsatisfiable_and_ignored_ranges(self):
        for header in ("bytes=1000-", "bytes=5000-6000", "bytes=-0"):
            with self.subTest(header=header):
                r, _ = self.get("/files/1000", {"Range": header})
                self.assertEqual(r.status, 416)
                self.assertEqual(r.getheader("Content-Range"), "bytes */1000")
        # Malformed, reversed and multi-range requests get the whole file.
        for header in ("bytes=9-3", "items=0-1", "bytes=0-1,5-6"):
            with self.subTest(header=header):
                r, body = self.get("/files/1000", {"Range": header})
                self.assertEqual(r.status, 200)
                self.assertEqual(len(body), 1000)

    def test_keep_alive_serves_several_requests(self):
        self.clear_log()
        c = self.conn()
        for start in (0, 100, 200):
            c.request("GET", "/files/1000", headers={"Range": "bytes=%d-%d" % (start, start + 9)})
            r = c.getresponse()
            self.assertEqual(r.read(), expected(1000, 0, start, start + 9))
        entries = [e for e in self.log() if e["path"] == "/files/1000"]
        self.assertEqual([e["connection_request"] for e in entries], [1, 2, 3])
        self.assertEqual(len({e["client_port"] for e in entries}), 1)
        self.assertEqual([e["range"] for e in entries],
                         ["bytes=0-9", "bytes=100-109", "bytes=200-209"])

    # -- faults -------------------------------------------------------------

    def test_stall_keeps_socket_open_without_data(self):
        c = self.conn(timeout=1.0)
        c.request("GET", "/files/100000?stall_after=1000")
        r = c.getresponse()
        self.assertEqual(int(r.getheader("Content-Length")), 100000)
        got = r.read(1000)
        self.assertEqual(got, expected(100000, 0, 0, 999))
        began = time.monotonic()
        with self.assertRaises(socket.timeout):
            r.read(1)
        self.assertGreaterEqual(time.monotonic() - began, 0.9)

    def test_reset_after(self):
        c = self.conn()
        c.request("GET", "/files/1000000?reset_after=5000")
        r = c.getresponse()
        received = b""
        try:
            while True:
                chunk = r.read(4096)
                if not chunk:
                    break
                received += chunk
        except (ConnectionResetError, http.client.IncompleteRead) as e:
            if isinstance(e, http.client.IncompleteRead):
                received += e.partial
        self.assertLessEqual(len(received), 5000)
        self.assertEqual(received, expected(1000000, 0, 0, len(received) - 1))

    def test_reset_is_a_real_rst(self):
        with socket.create_connection(("127.0.0.1", self.port), timeout=5) as s:
            s.sendall(b"GET /files/100000?reset_after=10 HTTP/1.1\r\nHost: x\r\n\r\n")
            time.sleep(0.3)
            with self.assertRaises(ConnectionResetError):
                while s.recv(65536):
                    pass

    def test_throttle_slows_the_transfer(self):
        began = time.monotonic()
        r, body = self.get("/files/20000?throttle=40000")
        elapsed = time.monotonic() - began
        self.assertEqual(body, expected(20000, 0, 0, 19999))
        self.assertGreaterEqual(elapsed, 0.4)  # 0.5 s at the set rate

    def test_ignore_range_answers_200_with_whole_file(self):
        r, body = self.get("/files/5000/2?ignore_range=1", {"Range": "bytes=100-199"})
        self.assertEqual(r.status, 200)
        self.assertIsNone(r.getheader("Content-Range"))
        self.assertEqual(body, expected(5000, 2, 0, 4999))

    def test_wrong_length_and_range_start(self):
        raw = raw_exchange(self.port, b"GET /files/1000?wrong_length=-10 HTTP/1.1\r\n"
                                      b"Host: x\r\nRange: bytes=100-199\r\n\r\n")
        head, _, body = raw.partition(b"\r\n\r\n")
        head += b"\r\n"
        self.assertIn(b"Content-Length: 90\r\n", head)
        self.assertEqual(body, expected(1000, 0, 100, 199))  # real bytes, then close

        r, body = self.get("/files/1000?wrong_range_start=7", {"Range": "bytes=100-199"})
        self.assertEqual(r.status, 206)
        self.assertEqual(r.getheader("Content-Range"), "bytes 107-199/1000")
        self.assertEqual(body, expected(1000, 0, 100, 199))

    def test_wrong_length_above_real_reads_short(self):
        c = self.conn()
        c.request("GET", "/files/1000?wrong_length=5")
        r = c.getresponse()
        self.assertEqual(r.getheader("Content-Length"), "1005")
        with self.assertRaises(http.client.IncompleteRead) as cm:
            r.read()
        self.assertEqual(len(cm.exception.partial), 1000)

    def test_short_body(self):
        c = self.conn()
        c.request("GET", "/files/10000?short_body=300", headers={"Range": "bytes=1000-"})
        r = c.getresponse()
        self.assertEqual(r.getheader("Content-Length"), "9000")
        with self.assertRaises(http.client.IncompleteRead) as cm:
            r.read()
        self.assertEqual(cm.exception.partial, expected(10000, 0, 1000, 9699))

    def test_no_length_close_after(self):
        raw = raw_exchange(self.port, b"GET /files/10000?no_length_close_after=1234 HTTP/1.1\r\n"
                                      b"Host: x\r\n\r\n")
        head, _, body = raw.partition(b"\r\n\r\n")
        head += b"\r\n"
        self.assertNotIn(b"content-length", head.lower())
        self.assertIn(b"Connection: close", head)
        self.assertEqual(body, expected(10000, 0, 0, 1233))

    def test_redirects(self):
        cases = [
            ("/files/10", "301"),
            ("http://127.0.0.2:%d/files/10" % self.port, "302"),
            ("../other/place?x=1", "307"),
        ]
        for target, code in cases:
            with self.subTest(target=target, code=code):
                c = self.conn()
                c.request("GET", "/start?" + urllib.parse.urlencode(
                    {"redirect": target, "code": code}))
                r = c.getresponse()
                r.read()
                self.assertEqual(r.status, int(code))
                self.assertEqual(r.getheader("Location"), target)

    def test_any_status_with_body(self):
        for code, text in ((500, "boom"), (404, "gone away"), (200, "plain ok"), (503, "")):
            with self.subTest(code=code):
                r, body = self.get("/x?status=%d&body=%s" % (code, text.replace(" ", "%20")))
                self.assertEqual(r.status, code)
                self.assertEqual(body.decode(), text)

    def test_faults_limited_to_servers_and_hosts(self):
        # This server is bound to 127.0.0.1; requests name the host "x" unless told otherwise.
        cases = (
            ("only_server=127.0.0.1", {}, 500),
            ("only_server=127.0.0.2,127.0.0.3", {}, 200),
            ("only_host=cdn.test", {"Host": "cdn.test:80"}, 500),
            ("only_host=cdn.test", {"Host": "origin.test"}, 200),
            ("only_server=127.0.0.1&only_host=a", {"Host": "b"}, 200),
            ("except_host=cdn.test", {"Host": "cdn.test:80"}, 200),
            ("except_host=cdn.test", {"Host": "origin.test"}, 500),
        )
        for query, headers, status in cases:
            with self.subTest(query=query, headers=headers):
                r, body = self.get("/files/10?status=500&" + query, headers=headers)
                self.assertEqual(r.status, status)
                if status == 200:
                    self.assertEqual(body, expected(10, 0, 0, 9))

    def test_lower_case_length_header_on_the_wire(self):
        raw = raw_exchange(self.port, b"GET /files/10?lower_length=1 HTTP/1.1\r\n"
                                      b"Host: x\r\nConnection: close\r\n\r\n")
        head, _, body = raw.partition(b"\r\n\r\n")
        head += b"\r\n"
        self.assertIn(b"\r\ncontent-length: 10\r\n", head)
        self.assertNotIn(b"Content-Length", head)
        self.assertEqual(body, expected(10, 0, 0, 9))

    def test_faults_combine_with_ranges_and_throttle(self):
        began = time.monotonic()
        c = self.conn()
        c.request("GET", "/files/100000/4?throttle=20000&short_body=5000",
                  headers={"Range": "bytes=50000-59999"})
        r = c.getresponse()
        self.assertEqual(r.status, 206)
        with self.assertRaises(http.client.IncompleteRead) as cm:
            r.read()
        self.assertEqual(cm.exception.partial, expected(100000, 4, 50000, 54999))
        self.assertGreaterEqual(time.monotonic() - began, 0.2)

    # -- request log --------------------------------------------------------

    def test_log_records_requests_but_not_itself(self):
        self.clear_log()
        c = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
        self.addCleanup(c.close)
        c.request("GET", "/files/100?ignore_range=1",
                  headers={"Host": "example.test:81", "Range": "bytes=1-2"})
        c.getresponse().read()
        local_port = c.sock.getsockname()[1]
        entries = self.log()
        self.assertEqual(len(entries), 1)
        e = entries[0]
        self.assertEqual((e["method"], e["path"], e["host"], e["range"]),
                         ("GET", "/files/100?ignore_range=1", "example.test:81", "bytes=1-2"))
        self.assertEqual(e["client_port"], local_port)
        self.assertEqual(e["connection_request"], 1)
        self.assertFalse(e["https"])
        self.assertEqual(e["sent"], 100)
        self.clear_log()
        self.assertEqual(self.log(), [])

    # -- https --------------------------------------------------------------

    def test_https_ranges_and_faults(self):
        ctx = ssl._create_unverified_context()
        c = http.client.HTTPSConnection("127.0.0.1", self.https_port, context=ctx, timeout=10)
        self.addCleanup(c.close)
        c.request("GET", "/files/70000/1", headers={"Range": "bytes=60000-"})
        r = c.getresponse()
        self.assertEqual(r.status, 206)
        self.assertEqual(r.read(), expected(70000, 1, 60000, 69999))
        c.request("GET", "/files/70000?short_body=10")
        r = c.getresponse()
        with self.assertRaises(http.client.IncompleteRead):
            r.read()
        entries = [e for e in self.log() if e["https"]]
        self.assertGreaterEqual(len(entries), 2)

    def test_https_refused_when_verifying(self):
        ctx = ssl.create_default_context()
        c = http.client.HTTPSConnection("127.0.0.1", self.https_port, context=ctx, timeout=10)
        self.addCleanup(c.close)
        with self.assertRaises(ssl.SSLCertVerificationError):
            c.request("GET", "/files/10")


class ShutdownTest(unittest.TestCase):
    def assert_stops(self, stop, stalled_client=True):
        proc, info = start_server()
        try:
            held = None
            if stalled_client:
                # A stalled transfer must not keep the server alive.
                held = socket.create_connection(("127.0.0.1", info["port"]), timeout=5)
                held.sendall(b"GET /files/100000?stall_after=10 HTTP/1.1\r\nHost: x\r\n\r\n")
                held.recv(100)
            stop(proc)
            self.assertEqual(proc.wait(10), 0)
            with self.assertRaises(OSError):
                socket.create_connection(("127.0.0.1", info["port"]), timeout=2).close()
            self.assertFalse(os.path.exists(info["cert"]))
            if held:
                held.close()
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
            proc.stdout.close()
            if proc.stdin:
                proc.stdin.close()

    def test_stops_when_stdin_closes(self):
        self.assert_stops(lambda p: p.stdin.close())

    def test_stops_on_sigterm(self):
        self.assert_stops(lambda p: p.send_signal(signal.SIGTERM))

    def test_stops_on_terminate_without_clients(self):
        self.assert_stops(lambda p: p.terminate(), stalled_client=False)


if __name__ == "__main__":
    unittest.main()
