#!/usr/bin/env python3
"""Download benchmark: the engine's command-line front, aria2c and curl on the same local servers.

Scenario L: nginx on 127.0.0.1-3 (one port) over plain loopback, no limits.
Scenario W: the same servers in a network namespace behind a delay line (bench/delayline.py)
            with a round trip of 2 x BENCH_W_DELAY_MS and an htb rate limit per server address.

Every program is run BENCH_RUNS times, alternated run by run; each download's MD5 is checked.
Reports medians of throughput, CPU seconds (user+sys) per GiB and peak RSS (/usr/bin/time -v),
and the ratio to the aria2c baseline of the same run. See bench/README.md.
"""
import dataclasses
import datetime
import hashlib
import os
import platform
import re
import shlex
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BENCH_DIR = os.path.join(ROOT, "bench")
README = os.path.join(BENCH_DIR, "README.md")
TABLE_BEGIN = "<!-- bench table: begin (written by bench/run.sh) -->"
TABLE_END = "<!-- bench table: end -->"

MIB = 1 << 20
GIB = 1 << 30
SERVERS = ("127.0.0.1", "127.0.0.2", "127.0.0.3")
FILE_NAME = "payload.bin"

# Network namespaces and tun devices of scenario W; fixed names so a crashed run is cleaned up
# by the next one.
NS_CLIENT = "devu_bench_cli"
NS_SERVER = "devu_bench_srv"
TUN_CLIENT = "devubc0"
TUN_SERVER = "devubs0"
CLIENT_ADDR = "127.0.1.1"

ARIA2_BASE_ARGS = ["-s", "3", "-x", "1", "-k", "1M"]
# The best aria2c setting found on this machine (BENCH_EXPLORE=1 tries the variants below).
ARIA2_BEST_ARGS = {
    "L": ["-s", "3", "-x", "1", "-k", "1M", "--file-allocation=none"],
    "W": ["-s", "12", "-x", "4", "-k", "1M", "--file-allocation=none"],
}
ARIA2_EXPLORE = [
    ["-s", "3", "-x", "1", "-k", "1M"],
    ["-s", "3", "-x", "1", "-k", "1M", "--file-allocation=none"],
    ["-s", "3", "-x", "1", "-k", "1M", "--file-allocation=falloc"],
    ["-s", "3", "-x", "1", "-k", "8M", "--file-allocation=none"],
    ["-s", "3", "-x", "1", "-k", "32M", "--file-allocation=none"],
    ["-s", "6", "-x", "2", "-k", "1M", "--file-allocation=none"],
    ["-s", "6", "-x", "2", "-k", "8M", "--file-allocation=none"],
    ["-s", "12", "-x", "4", "-k", "1M", "--file-allocation=none"],
    ["-s", "12", "-x", "4", "-k", "8M", "--file-allocation=none"],
    ["-s", "3", "-x", "1", "-k", "8M", "--file-allocation=none", "--disk-cache=64M"],
    ["-s", "3", "-x", "1", "-k", "8M", "--file-allocation=none", "--piece-length=8M"],
]


class BenchError(Exception):
    pass


class Stop(Exception):
    """SIGTERM/SIGINT/SIGHUP: unwinds through the finally blocks that stop servers."""


def env_int(name, default):
    value = os.environ.get(name, "")
    return int(value) if value else default


def log(text=""):
    print(text, flush=True)


def run_quiet(cmd, check=True):
    result = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if check and result.returncode != 0:
        raise BenchError(f"{shlex.join(cmd)}: exit {result.returncode}: {result.stdout.strip()}")
    return result


def in_netns(ns, cmd):
    return ["ip", "netns", "exec", ns] + cmd if ns else cmd


# ---- payload ---------------------------------------------------------------------------------

def make_payload(path, size):
    """Random bytes, so no layer can compress them; returns the MD5 hex digest."""
    md5 = hashlib.md5()
    chunk = 16 * MIB
    with open(path, "wb") as f:
        left = size
        while left:
            block = os.urandom(min(chunk, left))
            md5.update(block)
            f.write(block)
            left -= len(block)
    return md5.hexdigest()


def file_md5(path):
    md5 = hashlib.md5()
    with open(path, "rb") as f:
        while True:
            block = f.read(16 * MIB)
            if not block:
                return md5.hexdigest()
            md5.update(block)


# ---- nginx ---------------------------------------------------------------------------------

NGINX_CONF = """\
{user}worker_processes {workers};
pid {prefix}/nginx.pid;
error_log {prefix}/error.log warn;
events {{ worker_connections 256; }}
http {{
    access_log off;
    sendfile on;
    tcp_nopush on;
    keepalive_requests 100000;
    default_type application/octet-stream;
    types {{ }}
    client_body_temp_path {prefix}/body;
    proxy_temp_path {prefix}/proxy;
    fastcgi_temp_path {prefix}/fastcgi;
    uwsgi_temp_path {prefix}/uwsgi;
    scgi_temp_path {prefix}/scgi;
    server {{
{listen}
        root {root};
        location / {{ }}
    }}
}}
"""


class Nginx:
    """One nginx with a listen address per server, run in the foreground as this user."""

    def __init__(self, prefix, root, port, netns=None, client_netns=None):
        self.prefix, self.netns, self.client_netns = prefix, netns, client_netns
        os.makedirs(prefix, exist_ok=True)
        listen = "\n".join(f"        listen {addr}:{port};" for addr in SERVERS)
        # As root the workers would otherwise switch to an unprivileged system user.
        user = "user root;\n" if os.geteuid() == 0 else ""
        workers = os.environ.get("BENCH_NGINX_WORKERS", "auto")
        self.conf = os.path.join(prefix, "nginx.conf")
        with open(self.conf, "w") as f:
            f.write(NGINX_CONF.format(user=user, workers=workers, prefix=prefix, listen=listen,
                                      root=root))
        self.proc = None
        self.port = port

    def start(self):
        cmd = in_netns(self.netns, ["nginx", "-p", self.prefix, "-c", self.conf,
                                    "-e", os.path.join(self.prefix, "error.log"),
                                    "-g", "daemon off;"])
        self.proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.STDOUT, start_new_session=True)
        # Ready once every address answers; bounded wait.
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                raise BenchError(f"nginx exited {self.proc.returncode}: {self.error_log()}")
            if all(self._answers(addr) for addr in SERVERS):
                return
            time.sleep(0.1)
        raise BenchError(f"nginx did not answer within 10 s: {self.error_log()}")

    def _answers(self, addr):
        cmd = in_netns(self.client_netns, ["curl", "-s", "-o", "/dev/null", "-r", "0-0", "-m", "2",
                                    "-w", "%{http_code}", f"http://{addr}:{self.port}/{FILE_NAME}"])
        return run_quiet(cmd, check=False).stdout.strip() == "206"

    def error_log(self):
        try:
            with open(os.path.join(self.prefix, "error.log")) as f:
                return f.read()[-2000:]
        except OSError:
            return ""

    def stop(self):
        if self.proc and self.proc.poll() is None:
            os.killpg(self.proc.pid, signal.SIGTERM)  # its own session: master and workers
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(self.proc.pid, signal.SIGKILL)
                self.proc.wait()
        self.proc = None


def free_port():
    """A port free on all three addresses (they share one port, like one host's mirrors)."""
    wanted = os.environ.get("BENCH_PORT")
    if wanted:
        return int(wanted)
    for _ in range(50):
        with socket.socket() as s:
            s.bind((SERVERS[0], 0))
            port = s.getsockname()[1]
        try:
            for addr in SERVERS:
                with socket.socket() as s:
                    s.bind((addr, port))
            return port
        except OSError:
            continue
    raise BenchError("no port free on all of " + ", ".join(SERVERS))


# ---- the wide-area network emulation --------------------------------------------------------

class Wan:
    """Client and servers in two network namespaces joined by a delay line over two tun devices.

    Addresses stay in 127.0.0.0/8 (route_localnet), so the servers keep the loopback addresses
    of scenario L and no traffic can leave the machine. The client namespace's own loopback stays
    down so that 127.0.0.1-3 route to the servers.
    """

    def __init__(self, delay_ms, rate, mtu):
        self.delay_ms, self.rate, self.mtu = delay_ms, rate, mtu
        self.delayline = None

    @staticmethod
    def remove_leftovers():
        existing = run_quiet(["ip", "netns", "list"], check=False).stdout
        for ns in (NS_CLIENT, NS_SERVER):
            if re.search(rf"^{ns}\b", existing, re.M):
                run_quiet(["ip", "netns", "del", ns], check=False)

    def start(self):
        self.remove_leftovers()
        ipc = lambda *a: run_quiet(in_netns(NS_CLIENT, list(a)))
        ips = lambda *a: run_quiet(in_netns(NS_SERVER, list(a)))
        run_quiet(["ip", "netns", "add", NS_CLIENT])
        run_quiet(["ip", "netns", "add", NS_SERVER])
        ipc("ip", "tuntap", "add", "dev", TUN_CLIENT, "mode", "tun")
        ips("ip", "tuntap", "add", "dev", TUN_SERVER, "mode", "tun")
        self.delayline = subprocess.Popen(
            [sys.executable, os.path.join(BENCH_DIR, "delayline.py"), NS_CLIENT, TUN_CLIENT,
             NS_SERVER, TUN_SERVER, str(self.delay_ms)],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, start_new_session=True)
        first = self.delayline.stdout.readline().strip()
        if first != "ready":
            raise BenchError(f"delay line failed: {first} {self.delayline.stdout.read()}")
        for run_ns, dev in ((ipc, TUN_CLIENT), (ips, TUN_SERVER)):
            for key in ("all", "default", dev):
                run_ns("sysctl", "-qw", f"net.ipv4.conf.{key}.route_localnet=1",
                       f"net.ipv4.conf.{key}.rp_filter=0")
            run_ns("ip", "link", "set", dev, "mtu", str(self.mtu), "up")
        ipc("ip", "addr", "add", f"{CLIENT_ADDR}/32", "dev", TUN_CLIENT)
        ipc("ip", "route", "add", "127.0.0.0/24", "dev", TUN_CLIENT, "src", CLIENT_ADDR)
        # The servers' addresses live on the tun device and lo stays down here too, so that
        # lo's 127.0.0.0/8 does not swallow the replies to the client.
        for addr in SERVERS:
            ips("ip", "addr", "add", f"{addr}/32", "dev", TUN_SERVER)
        ips("ip", "route", "add", f"{CLIENT_ADDR}/32", "dev", TUN_SERVER)
        # One htb class per server address for its replies; anything else is not limited.
        ips("tc", "qdisc", "add", "dev", TUN_SERVER, "root", "handle", "1:", "htb",
            "default", "99", "r2q", "100")
        ips("tc", "class", "add", "dev", TUN_SERVER, "parent", "1:", "classid", "1:99", "htb",
            "rate", "10gbit")
        for i, addr in enumerate(SERVERS, start=1):
            ips("tc", "class", "add", "dev", TUN_SERVER, "parent", "1:", "classid", f"1:{i}",
                "htb", "rate", self.rate, "ceil", self.rate)
            ips("tc", "qdisc", "add", "dev", TUN_SERVER, "parent", f"1:{i}", "handle",
                f"{10 + i}:", "pfifo", "limit", "1000")
            ips("tc", "filter", "add", "dev", TUN_SERVER, "parent", "1:", "protocol", "ip",
                "prio", "1", "u32", "match", "ip", "src", f"{addr}/32", "flowid", f"1:{i}")

    def stop(self):
        if self.delayline and self.delayline.poll() is None:
            os.killpg(self.delayline.pid, signal.SIGTERM)
            try:
                self.delayline.wait(timeout=5)
            except subprocess.TimeoutExpired:
                os.killpg(self.delayline.pid, signal.SIGKILL)
                self.delayline.wait()
        self.delayline = None
        for ns in (NS_CLIENT, NS_SERVER):
            run_quiet(["ip", "netns", "del", ns], check=False)

    def check(self, port):
        """The emulation does what it says: round trip and a single stream's rate."""
        url = f"http://{SERVERS[0]}:{port}/{FILE_NAME}"
        out = run_quiet(in_netns(NS_CLIENT, ["curl", "-s", "-o", "/dev/null", "-m", "30",
                                             "-r", f"0-{8 * MIB - 1}", "-w",
                                             "%{time_connect} %{speed_download}", url])).stdout
        connect, speed = (float(x) for x in out.split())
        return connect * 1000, speed / MIB


def wan_unavailable_reason():
    if os.geteuid() != 0:
        return "needs root (network namespaces, tun devices, tc)"
    for tool in ("ip", "tc"):
        if not shutil.which(tool):
            return f"{tool} not installed (scripts/setup-bench-packages.sh)"
    probe = "devu_bench_probe"
    result = run_quiet(["ip", "netns", "add", probe], check=False)
    if result.returncode != 0:
        return f"ip netns add refused: {result.stdout.strip()}"
    try:
        result = run_quiet(in_netns(probe, ["ip", "tuntap", "add", "dev", "probe0", "mode", "tun"]),
                           check=False)
        if result.returncode != 0:
            return f"no tun devices: {result.stdout.strip()}"
        result = run_quiet(in_netns(probe, ["tc", "qdisc", "add", "dev", "probe0", "root",
                                            "handle", "1:", "htb"]), check=False)
        if result.returncode != 0:
            return f"no htb qdisc: {result.stdout.strip()}"
    finally:
        run_quiet(["ip", "netns", "del", probe], check=False)
    return None


# ---- programs and runs ---------------------------------------------------------------------

@dataclasses.dataclass
class Program:
    key: str
    label: str
    args: list            # shown in the README; {url1} etc. are filled in per run
    is_baseline: bool = False
    missing: str = ""     # why it cannot run


@dataclasses.dataclass
class Sample:
    ok: bool
    seconds: float = 0.0
    cpu: float = 0.0
    rss_kib: int = 0
    note: str = ""


def engine_path():
    return os.environ.get("DEVU_FETCH") or os.path.join(
        ROOT, "build", "linux-release", "src", "fetch", "devu_fetch")


def aria2_args(extra):
    # Housekeeping options only: overwrite the previous run's file, no progress output.
    return ["aria2c"] + extra + ["--allow-overwrite=true", "--auto-file-renaming=false",
                                 "--summary-interval=0", "--console-log-level=warn", "-q",
                                 "-d", "{outdir}", "-o", "{outname}",
                                 "{url1}", "{url2}", "{url3}"]


def programs_for(scenario, aria2_variants=None):
    engine = engine_path()
    progs = []
    if aria2_variants is None:
        missing = "" if os.access(engine, os.X_OK) else f"engine binary not built: {engine}"
        progs.append(Program("engine", "devu_fetch (domain + 2 addresses)",
                             [engine, "--url", "{url1}", "--ip", SERVERS[1], "--ip", SERVERS[2],
                              "--size", "{size}", "--out", "{out}", "--quiet"],
                             missing=missing))
        progs.append(Program("aria2", "aria2c " + " ".join(ARIA2_BASE_ARGS),
                             aria2_args(ARIA2_BASE_ARGS), is_baseline=True))
        best = os.environ.get(f"BENCH_ARIA2_BEST_{scenario}")
        best = shlex.split(best) if best else ARIA2_BEST_ARGS[scenario]
        progs.append(Program("aria2best", "aria2c best: " + " ".join(best), aria2_args(best)))
        progs.append(Program("curl", "curl (1 stream)",
                             ["curl", "-sS", "-f", "-o", "{out}", "{url1}"]))
    else:
        for i, variant in enumerate(aria2_variants):
            progs.append(Program(f"aria2v{i}", "aria2c " + " ".join(variant), aria2_args(variant),
                                 is_baseline=(variant == ARIA2_BASE_ARGS)))
    for p in progs:
        if not p.missing and not shutil.which(p.args[0]) and not os.access(p.args[0], os.X_OK):
            p.missing = f"{p.args[0]} not installed (scripts/setup-bench-packages.sh)"
    return progs


TIME_FIELDS = {
    "user": re.compile(r"User time \(seconds\): ([\d.]+)"),
    "sys": re.compile(r"System time \(seconds\): ([\d.]+)"),
    "rss": re.compile(r"Maximum resident set size \(kbytes\): (\d+)"),
}


def run_once(prog, ctx, workdir):
    outdir = os.path.join(workdir, "dl")
    shutil.rmtree(outdir, ignore_errors=True)
    os.makedirs(outdir)
    out = os.path.join(outdir, FILE_NAME)
    fill = dict(ctx, out=out, outdir=outdir, outname=FILE_NAME)
    cmd = [a.format(**fill) for a in prog.args]
    timefile = os.path.join(workdir, "time.txt")
    logfile = os.path.join(workdir, "program.log")
    full = in_netns(ctx["netns"], ["/usr/bin/time", "-v", "-o", timefile] + cmd)
    timeout = env_int("BENCH_TIMEOUT", 900)
    with open(logfile, "w") as logf:
        start = time.monotonic()
        # Own session, so a timeout or a stop of the harness ends the program and its children.
        proc = subprocess.Popen(full, stdin=subprocess.DEVNULL, stdout=logf, stderr=logf,
                                start_new_session=True)
        try:
            code = proc.wait(timeout=timeout)
        except BaseException as e:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
            if isinstance(e, subprocess.TimeoutExpired):
                return Sample(False, note=f"timed out after {timeout} s")
            raise
        seconds = time.monotonic() - start
    with open(logfile, errors="replace") as f:
        output = f.read().strip()[-300:]
    if code != 0:
        return Sample(False, note=f"exit {code}: {output}")
    with open(timefile) as f:
        report = f.read()
    values = {k: rx.search(report) for k, rx in TIME_FIELDS.items()}
    if not all(values.values()):
        return Sample(False, note="no /usr/bin/time -v report")
    if not os.path.exists(out) or os.path.getsize(out) != ctx["size_int"]:
        size = os.path.getsize(out) if os.path.exists(out) else "no file"
        return Sample(False, note=f"wrong size: {size}")
    digest = file_md5(out)
    if digest != ctx["md5"]:
        return Sample(False, note=f"wrong MD5: {digest}")
    os.remove(out)
    return Sample(True, seconds, float(values["user"].group(1)) + float(values["sys"].group(1)),
                  int(values["rss"].group(1)))


def run_scenario(name, progs, ctx, runs, workdir):
    samples = {p.key: [] for p in progs}
    runnable = [p for p in progs if not p.missing]
    for p in progs:
        if p.missing:
            log(f"  {p.label}: {p.missing}")
    for r in range(runs):
        # Rotate the order each run so no program always goes first (or right after another).
        shift = r % len(runnable) if runnable else 0
        for p in runnable[shift:] + runnable[:shift]:
            s = run_once(p, ctx, workdir)
            samples[p.key].append((r, s))
            if s.ok:
                log(f"  [{name} run {r + 1}/{runs}] {p.label:44} {ctx['size_int'] / MIB / s.seconds:9.1f} MiB/s"
                    f"  cpu {s.cpu:6.2f} s  rss {s.rss_kib / 1024:7.1f} MiB")
            else:
                log(f"  [{name} run {r + 1}/{runs}] {p.label:44} FAILED: {s.note}")
    return summarize(name, progs, samples, ctx["size_int"])


def median_or_none(values):
    return statistics.median(values) if values else None


def summarize(name, progs, samples, size):
    base = next((p for p in progs if p.is_baseline), None)
    base_by_run = {r: s for r, s in samples.get(base.key, [])} if base else {}
    rows = []
    for p in progs:
        runs = samples[p.key]
        good = [(r, s) for r, s in runs if s.ok]
        failed = len(runs) - len(good)
        speed = [size / MIB / s.seconds for _, s in good]
        cpu = [s.cpu / (size / GIB) for _, s in good]
        rss = [s.rss_kib / 1024 for _, s in good]
        ratios = {"speed": [], "cpu": [], "rss": []}
        for r, s in good:
            b = base_by_run.get(r)
            if b is None or not b.ok:
                continue
            ratios["speed"].append(b.seconds / s.seconds)
            if b.cpu > 0:
                ratios["cpu"].append(s.cpu / b.cpu)
            ratios["rss"].append(s.rss_kib / b.rss_kib)
        status = p.missing or ("ok" if not failed else
                               f"FAILED {failed}/{len(runs)}: " + next(s.note for _, s in runs if not s.ok))
        rows.append(dict(scenario=name, label=p.label, status=status, runs=len(good),
                         speed=median_or_none(speed), cpu=median_or_none(cpu),
                         rss=median_or_none(rss),
                         r_speed=median_or_none(ratios["speed"]),
                         r_cpu=median_or_none(ratios["cpu"]),
                         r_rss=median_or_none(ratios["rss"])))
    return rows


def fmt(value, pattern):
    return "-" if value is None else format(value, pattern)


def table_lines(rows):
    head = ("| scenario | program | MiB/s | CPU s/GiB | peak RSS MiB | speed x aria2c | "
            "CPU x aria2c | RSS x aria2c | runs | status |")
    lines = [head, "|" + "---|" * 10]
    for r in rows:
        lines.append(f"| {r['scenario']} | {r['label']} | {fmt(r['speed'], '.1f')} | "
                     f"{fmt(r['cpu'], '.2f')} | {fmt(r['rss'], '.1f')} | "
                     f"{fmt(r['r_speed'], '.2f')} | {fmt(r['r_cpu'], '.2f')} | "
                     f"{fmt(r['r_rss'], '.2f')} | {r['runs']} | {r['status']} |")
    return lines


def run_servers_and_programs(name, size, wan, progs, runs, workdir, notes):
    """Starts the servers (behind the emulated network when wan is given), runs, stops them."""
    srv_dir = os.path.join(workdir, "srv")
    os.makedirs(srv_dir, exist_ok=True)
    payload = os.path.join(srv_dir, FILE_NAME)
    netns = NS_CLIENT if wan else None
    try:
        md5 = make_payload(payload, size)
        port = free_port()
        nginx = Nginx(os.path.join(workdir, f"nginx-{name}"), srv_dir, port,
                      NS_SERVER if wan else None, netns)
        try:
            if wan:
                wan.start()
            nginx.start()
            if wan:
                rtt, speed = wan.check(port)
                log(f"  emulation check: TCP connect {rtt:.0f} ms, one stream {speed:.2f} MiB/s")
                notes.append(f"W check: TCP connect {rtt:.0f} ms; one 8 MiB range from one "
                             f"server, slow start included, {speed:.2f} MiB/s")
            urls = [f"http://{addr}:{port}/{FILE_NAME}" for addr in SERVERS]
            ctx = dict(url1=urls[0], url2=urls[1], url3=urls[2], size=str(size),
                       size_int=size, md5=md5, netns=netns)
            return run_scenario(name, progs, ctx, runs, workdir)
        finally:
            nginx.stop()
            if wan:
                wan.stop()
    finally:
        if os.path.exists(payload):
            os.remove(payload)


# ---- README --------------------------------------------------------------------------------

def machine_lines(load_start):
    cpu = "unknown"
    try:
        with open("/proc/cpuinfo") as f:
            m = re.search(r"^model name\s*:\s*(.+)$", f.read(), re.M)
            cpu = m.group(1).strip() if m else cpu
    except OSError:
        pass
    return [f"- machine: {os.cpu_count()} CPUs ({cpu}), kernel {platform.release()}; "
            f"1-minute load before the runs {load_start:.1f}, after {os.getloadavg()[0]:.1f} "
            "(other work shares the CPUs)",
            f"- date: {datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d %H:%M} UTC"]


def tool_versions():
    versions = []
    for cmd in (["nginx", "-v"], ["aria2c", "--version"], ["curl", "--version"]):
        if shutil.which(cmd[0]):
            out = run_quiet(cmd, check=False).stdout.strip().splitlines()
            # curl's first line goes on to list every library it links; the version is enough.
            versions.append(out[0].split(" (")[0] if out else cmd[0])
    return versions


def command_lines(scenarios_run, progs_by_scenario):
    lines = []
    for name in scenarios_run:
        prefix = f"ip netns exec {NS_CLIENT} " if name == "W" else ""
        for p in progs_by_scenario[name]:
            args = [os.path.relpath(a, ROOT) if a.startswith(ROOT + os.sep) else a
                    for a in p.args]
            lines.append(f"    {name}: {prefix}/usr/bin/time -v {shlex.join(args)}")
    return lines


def write_readme(section):
    try:
        with open(README) as f:
            text = f.read()
    except OSError:
        text = f"# Benchmarks\n\n{TABLE_BEGIN}\n{TABLE_END}\n"
    if TABLE_BEGIN not in text or TABLE_END not in text:
        text = text.rstrip() + f"\n\n{TABLE_BEGIN}\n{TABLE_END}\n"
    head, rest = text.split(TABLE_BEGIN, 1)
    _, tail = rest.split(TABLE_END, 1)
    with open(README, "w") as f:
        f.write(head + TABLE_BEGIN + "\n" + "\n".join(section) + "\n" + TABLE_END + tail)


# ---- main ----------------------------------------------------------------------------------

USAGE = """usage: bench/run.sh   (or ./run bench); no arguments, settings come from the environment:
  BENCH_RUNS (5)  BENCH_SCENARIOS ("L W")  BENCH_L_MIB (1024)  BENCH_W_MIB (256)
  BENCH_W_DELAY_MS (20, one way)  BENCH_W_RATE (50mbit)  BENCH_W_MTU (1500)
  BENCH_ARIA2_BEST_L / BENCH_ARIA2_BEST_W  BENCH_NGINX_WORKERS (auto)  BENCH_PORT
  BENCH_TIMEOUT (900 s per download)  BENCH_EXPLORE=1  BENCH_README=0  DEVU_FETCH
bench/README.md says what each one does."""


def main():
    # Every setting is an environment variable; an argument is a mistake, not a run.
    if len(sys.argv) > 1:
        asked = sys.argv[1] in ("-h", "--help")
        print((__doc__ + "\n" if asked else f"bench: unknown argument {sys.argv[1]}\n") + USAGE,
              file=sys.stdout if asked else sys.stderr)
        return 0 if asked else 2
    runs = env_int("BENCH_RUNS", 5)
    scenarios = os.environ.get("BENCH_SCENARIOS", "L W").split()
    explore = os.environ.get("BENCH_EXPLORE") == "1"
    sizes = {"L": env_int("BENCH_L_MIB", 1024) * MIB, "W": env_int("BENCH_W_MIB", 256) * MIB}
    delay_ms = env_int("BENCH_W_DELAY_MS", 20)
    rate = os.environ.get("BENCH_W_RATE", "50mbit")
    mtu = env_int("BENCH_W_MTU", 1500)
    shm = os.environ.get("BENCH_TMPFS", "/dev/shm")

    def on_signal(signum, _frame):
        raise Stop(f"signal {signum}")
    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(sig, on_signal)

    for tool in ("nginx", "curl", "/usr/bin/time"):
        if not shutil.which(tool):
            raise BenchError(f"{tool} not installed: run scripts/setup-bench-packages.sh")
    load_start = os.getloadavg()[0]
    engine = engine_path()
    if not os.access(engine, os.X_OK):
        log(f"engine binary not built: {engine}")
        log("  (build it: cmake --preset linux-release && "
            "cmake --build build/linux-release --target devu_fetch; or set DEVU_FETCH)")

    workdir = tempfile.mkdtemp(prefix="devu-bench-", dir=shm)
    rows, notes, progs_by_scenario, scenarios_run = [], [], {}, []
    wan_desc = (f"round trip {2 * delay_ms} ms, {rate} per server address, MTU {mtu}")
    try:
        for name in scenarios:
            if name not in sizes:
                raise BenchError(f"unknown scenario {name} (L, W)")
            log(f"\n== scenario {name}: {sizes[name] // MIB} MiB" +
                (f", {wan_desc}" if name == "W" else ", loopback without limits"))
            wan = None
            if name == "W":
                reason = wan_unavailable_reason()
                if reason:
                    notes.append(f"scenario W not runnable here: {reason}")
                    log(notes[-1])
                    continue
                wan = Wan(delay_ms, rate, mtu)
            try:
                progs = programs_for(name, ARIA2_EXPLORE if explore else None)
                rows += run_servers_and_programs(name, sizes[name], wan, progs, runs, workdir,
                                                 notes)
                progs_by_scenario[name] = progs
                scenarios_run.append(name)
            except BenchError as e:
                # One scenario's setup failing must not cost the other one's figures.
                notes.append(f"scenario {name} failed: {e}")
                log(notes[-1])
    finally:
        shutil.rmtree(workdir, ignore_errors=True)

    lines = table_lines(rows)
    log("\n" + "\n".join(lines))
    for n in notes:
        log(n)
    if explore or os.environ.get("BENCH_README") == "0" or not rows:
        return 0
    section = machine_lines(load_start) + [
        f"- runs: {runs} per program, alternated run by run; medians; ratios are against "
        f"`aria2c {' '.join(ARIA2_BASE_ARGS)}` of the same run",
        f"- L: {sizes['L'] // MIB} MiB file, loopback without limits; "
        f"W: {sizes['W'] // MIB} MiB file, {wan_desc}",
        "- tools: " + "; ".join(tool_versions()),
    ] + [f"- {n}" for n in notes] + ["", *lines, "", "Commands ({url1..3} are "
        "http://127.0.0.1-3:PORT/payload.bin; files on tmpfs):", ""] + \
        command_lines(scenarios_run, progs_by_scenario)
    write_readme(section)
    log(f"\nwrote the table to {os.path.relpath(README, ROOT)}")
    return 0 if all(r["status"] == "ok" or r["status"].startswith("engine binary not built")
                    for r in rows) else 1


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Stop as e:
        print(f"stopped: {e}", file=sys.stderr)
        sys.exit(130)
    except BenchError as e:
        print(f"bench: {e}", file=sys.stderr)
        sys.exit(1)
