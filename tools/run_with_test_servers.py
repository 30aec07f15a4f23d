#!/usr/bin/env python3
"""Runs a command with test HTTP servers on 127.0.0.1, 127.0.0.2 and 127.0.0.3.

All three serve HTTP on the same port (the first server's ephemeral one), so one URL's port
reaches any of them: the three addresses stand for one host's servers.

The servers' addresses reach the command in DEVU_TEST_SERVERS as
"host:port:https_port" entries separated by ";" (one per server, in address order). The
command's exit status is returned; the servers stop when it ends (their stdin closes).
"""
import json
import os
import subprocess
import sys

HOSTS = ("127.0.0.1", "127.0.0.2", "127.0.0.3")
SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "http_test_server.py")


def main(argv):
    if "--" in argv:
        argv = argv[argv.index("--") + 1:]
    if not argv:
        print("usage: run_with_test_servers.py -- COMMAND [ARGS...]", file=sys.stderr)
        return 2
    servers = []
    entries = []
    try:
        port = 0
        for host in HOSTS:
            proc = subprocess.Popen([sys.executable, SERVER, host, "--port", str(port)],
                                    stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
            servers.append(proc)
            line = proc.stdout.readline()
            if not line:
                print(f"test server on {host} did not start", file=sys.stderr)
                return 2
            ready = json.loads(line)
            port = ready["port"]
            entries.append(f"{ready['host']}:{ready['port']}:{ready.get('https_port', 0)}")
        env = dict(os.environ, DEVU_TEST_SERVERS=";".join(entries))
        return subprocess.call(argv, env=env)
    finally:
        for proc in servers:
            proc.stdin.close()
        for proc in servers:
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                proc.kill()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
