#!/usr/bin/env python3
"""A wire with a fixed one-way delay between two tun devices in two network namespaces.

This kernel has no netem, so the delay is done here: every packet read from one tun device is
written to the other one `delay` seconds later. Rate limits stay in the kernel (htb on the server
side), so this process only holds packets back; it never drops or reorders them.

usage: delayline.py NETNS_A TUN_A NETNS_B TUN_B DELAY_MS
Prints "ready" once both devices are attached; runs until SIGTERM.
"""
import collections
import ctypes
import fcntl
import os
import select
import signal
import struct
import sys
import time

CLONE_NEWNET = 0x40000000
TUNSETIFF = 0x400454CA
IFF_TUN = 0x0001
IFF_NO_PI = 0x1000
MAX_PACKET = 65536

libc = ctypes.CDLL(None, use_errno=True)


def enter_netns(name):
    fd = os.open(f"/run/netns/{name}", os.O_RDONLY)
    try:
        if libc.setns(fd, CLONE_NEWNET) != 0:
            err = ctypes.get_errno()
            raise OSError(err, f"setns {name}: {os.strerror(err)}")
    finally:
        os.close(fd)


def attach_tun(netns, name):
    # A tun device is looked up by name in the caller's namespace, so enter it first.
    enter_netns(netns)
    fd = os.open("/dev/net/tun", os.O_RDWR | os.O_NONBLOCK)
    fcntl.ioctl(fd, TUNSETIFF, struct.pack("16sH", name.encode(), IFF_TUN | IFF_NO_PI))
    return fd


def run(fd_a, fd_b, delay):
    peer = {fd_a: fd_b, fd_b: fd_a}
    # One FIFO per direction: a constant delay keeps arrival order, so the head is always due first.
    queues = {fd_a: collections.deque(), fd_b: collections.deque()}
    poller = select.epoll()
    poller.register(fd_a, select.EPOLLIN)
    poller.register(fd_b, select.EPOLLIN)
    while True:
        now = time.monotonic()
        timeout = -1
        for q in queues.values():
            if q:
                wait = q[0][0] - now
                timeout = wait if timeout < 0 else min(timeout, wait)
        events = poller.poll(max(timeout, 0) if timeout >= 0 else -1)
        now = time.monotonic()
        for fd, _ in events:
            q = queues[fd]
            due = now + delay
            for _ in range(256):  # bounded, so the other direction is served in time
                try:
                    packet = os.read(fd, MAX_PACKET)
                except BlockingIOError:
                    break
                q.append((due, packet))
        now = time.monotonic()
        for src, q in queues.items():
            dst = peer[src]
            while q and q[0][0] <= now:
                try:
                    os.write(dst, q[0][1])
                except BlockingIOError:
                    break  # the device queue is full: keep the packet and retry on the next pass
                except OSError:
                    pass  # device going away or packet refused: a lost packet, like on a wire
                q.popleft()


def main():
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    netns_a, tun_a, netns_b, tun_b, delay_ms = sys.argv[1:]
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        os.nice(-10)  # the wire's timing should not suffer from builds sharing the CPUs
    except PermissionError:
        pass
    fd_a = attach_tun(netns_a, tun_a)
    fd_b = attach_tun(netns_b, tun_b)
    print("ready", flush=True)
    try:
        run(fd_a, fd_b, float(delay_ms) / 1000.0)
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
