#!/usr/bin/python3
"""Impaired link between two network namespaces, for the classroom tests.

The kernel here has no netem, so loss, delay, jitter and rate caps are made
in user space: a TUN device in each namespace, and this process moving IP
packets between them. Each direction has its own rate cap, applied to each
near-side address on its own like a Wi-Fi station's share of the air (a FIFO
drained at the rate, tail-dropping past a router-sized buffer), then loss,
then a delay with uniform jitter (so, like netem, jitter can reorder packets). Random
draws come from a generator seeded per direction, so runs repeat.

The link's settings can change while it runs: the control file holds lines
"DIRECTION key=value ..." (DIRECTION is "to_far", "to_near" or "both");
keys are loss (percent), delay and jitter (ms), rate (kbit/s per near-side
address, 0 = no cap) and down (1 drops everything: a black hole, no
reset). The file is read again whenever it changes.

Usage (as root, both namespaces made with "ip netns add"):
  netlink-sim.py --near NS --far NS [--near-dev tn0] [--far-dev tf0]
                 [--seed N] [--control FILE] [--stats FILE] [--seconds N]
It prints "ready" once both devices exist; the caller then sets them up.
"""

import argparse
import ctypes
import fcntl
import heapq
import os
import random
import select
import signal
import struct
import sys
import time

TUNSETIFF = 0x400454CA
IFF_TUN = 0x0001
IFF_NO_PI = 0x1000
CLONE_NEWNET = 0x40000000
QUEUE_BYTES = 256 * 1024  # what a home router buffers before it tail-drops


def enter_netns(name):
    libc = ctypes.CDLL(None, use_errno=True)
    fd = os.open("/run/netns/" + name, os.O_RDONLY)
    try:
        if libc.setns(fd, CLONE_NEWNET) != 0:
            err = ctypes.get_errno()
            raise OSError(err, "setns " + name + ": " + os.strerror(err))
    finally:
        os.close(fd)


def open_tun(netns, dev):
    # A TUN device belongs to the namespace its creator was in.
    enter_netns(netns)
    fd = os.open("/dev/net/tun", os.O_RDWR | os.O_NONBLOCK)
    fcntl.ioctl(fd, TUNSETIFF, struct.pack("16sH", dev.encode(), IFF_TUN | IFF_NO_PI))
    return fd


class CappedQueue:
    """A FIFO drained at the cap, tail-dropping past a router-sized buffer."""

    def __init__(self):
        self.packets = []
        self.head = 0
        self.bytes = 0
        self.link_free = 0.0  # when the link finished its last packet
        self.head_done = None  # when it finishes the packet it is sending


class Direction:
    """One way of the link: rate-capped FIFO per near-side address, then loss,
    then delay +- jitter."""

    def __init__(self, name, seed, near_at):
        self.name = name
        self.near_at = near_at  # offset of the near-side address in the IP header
        self.rng = random.Random(seed)
        self.loss = 0.0
        self.delay = 0.0
        self.jitter = 0.0
        self.rate = 0  # bit/s per near-side address, 0 = no cap
        self.down = False
        self.queues = {}
        self.passed = self.lost = self.tail_dropped = self.blackholed = 0

    def configure(self, values):
        if "loss" in values:
            self.loss = float(values["loss"]) / 100.0
        if "delay" in values:
            self.delay = float(values["delay"]) / 1000.0
        if "jitter" in values:
            self.jitter = float(values["jitter"]) / 1000.0
        if "rate" in values:
            self.rate = int(float(values["rate"]) * 1000)
        if "down" in values:
            self.down = values["down"] not in ("0", "")

    def arrive(self, packet, now, schedule):
        if self.down:
            self.blackholed += 1
            return
        key = packet[self.near_at:self.near_at + 4]
        q = self.queues.get(key)
        if self.rate <= 0 and (q is None or q.head >= len(q.packets)):
            self.release(packet, now, schedule)
            return
        if q is None:
            q = self.queues[key] = CappedQueue()
        if q.bytes + len(packet) > QUEUE_BYTES:
            self.tail_dropped += 1
            return
        q.packets.append(packet)
        q.bytes += len(packet)

    def drain(self, now, schedule):
        """Moves on the packets the capped links have finished sending;
        returns when the next one will be done."""
        wake = None
        for q in self.queues.values():
            while q.head < len(q.packets):
                packet = q.packets[q.head]
                if q.head_done is None:
                    start = max(q.link_free, now)
                    q.head_done = start + (len(packet) * 8.0 / self.rate if self.rate > 0 else 0.0)
                if q.head_done > now:
                    wake = q.head_done if wake is None else min(wake, q.head_done)
                    break
                q.link_free = q.head_done
                q.head_done = None
                q.head += 1
                q.bytes -= len(packet)
                self.release(packet, q.link_free, schedule)
            if q.head >= len(q.packets):
                q.packets = []
                q.head = 0
        return wake

    def release(self, packet, now, schedule):
        if self.down:
            self.blackholed += 1
            return
        if self.loss > 0 and self.rng.random() < self.loss:
            self.lost += 1
            return
        wait = self.delay
        if self.jitter > 0:
            wait += self.rng.uniform(-self.jitter, self.jitter)
        self.passed += 1
        schedule(now + max(0.0, wait), packet)


def read_control(path, directions):
    try:
        with open(path) as f:
            lines = f.read().splitlines()
    except OSError:
        return
    for line in lines:
        words = line.split()
        if not words or words[0].startswith("#"):
            continue
        values = dict(w.split("=", 1) for w in words[1:] if "=" in w)
        targets = directions.values() if words[0] == "both" else [directions.get(words[0])]
        for d in targets:
            if d is not None:
                d.configure(values)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--near", required=True, help="namespace of the near end")
    ap.add_argument("--far", required=True, help="namespace of the far end")
    ap.add_argument("--near-dev", default="tn0")
    ap.add_argument("--far-dev", default="tf0")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--control", help="file of link settings, read again when it changes")
    ap.add_argument("--stats", help="file that receives the counters at the end")
    ap.add_argument("--seconds", type=float, default=3600.0, help="ends the link after this")
    args = ap.parse_args()

    near_fd = open_tun(args.near, args.near_dev)
    far_fd = open_tun(args.far, args.far_dev)
    directions = {
        "to_far": Direction("to_far", args.seed * 2 + 1, 12),  # near end sends
        "to_near": Direction("to_near", args.seed * 2 + 2, 16),  # near end receives
    }
    out_of = {near_fd: (directions["to_far"], far_fd), far_fd: (directions["to_near"], near_fd)}

    stop = []
    signal.signal(signal.SIGTERM, lambda *_: stop.append(1))
    signal.signal(signal.SIGINT, lambda *_: stop.append(1))

    pending = []  # (when, order, fd, packet)
    order = [0]

    def schedule_to(fd):
        def schedule(when, packet):
            order[0] += 1
            heapq.heappush(pending, (when, order[0], fd, packet))
        return schedule

    schedulers = {near_fd: schedule_to(far_fd), far_fd: schedule_to(near_fd)}
    control_mtime = None
    next_control = 0.0
    end = time.monotonic() + args.seconds
    print("ready", flush=True)

    while not stop:
        now = time.monotonic()
        if now >= end:
            break
        if args.control and now >= next_control:
            next_control = now + 0.05
            try:
                mtime = os.stat(args.control).st_mtime_ns
            except OSError:
                mtime = None
            if mtime != control_mtime:
                control_mtime = mtime
                read_control(args.control, directions)
        wake = now + 0.05
        for fd, (direction, _) in out_of.items():
            due = direction.drain(now, schedulers[fd])
            if due is not None:
                wake = min(wake, due)
        while pending and pending[0][0] <= now:
            _, _, fd, packet = heapq.heappop(pending)
            try:
                os.write(fd, packet)
            except OSError:
                pass  # the device is down or full: the packet is lost
        if pending:
            wake = min(wake, pending[0][0])
        try:
            ready, _, _ = select.select([near_fd, far_fd], [], [], max(0.0, wake - time.monotonic()))
        except InterruptedError:
            continue
        now = time.monotonic()
        for fd in ready:
            direction, _ = out_of[fd]
            for _ in range(64):
                try:
                    packet = os.read(fd, 65536)
                except BlockingIOError:
                    break
                direction.arrive(packet, now, schedulers[fd])

    if args.stats:
        with open(args.stats, "w") as f:
            for d in directions.values():
                f.write(f"{d.name} passed={d.passed} lost={d.lost} tail_dropped={d.tail_dropped} "
                        f"blackholed={d.blackholed}\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
