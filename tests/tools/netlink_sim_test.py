#!/usr/bin/python3
"""The impaired link's rules, driven with made-up times (no devices, no root)."""

import importlib.util
import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
loader_spec = importlib.util.spec_from_file_location(
    "netlink_sim", os.path.join(HERE, "../../tools/netlink-sim/netlink-sim.py"))
sim = importlib.util.module_from_spec(loader_spec)
loader_spec.loader.exec_module(sim)


def packet(src, size=1250):
    # An IPv4 header is enough: the link keys its caps on the near-side address.
    header = bytearray(20)
    header[12:16] = bytes([127, 0, 0, src])
    header[16:20] = bytes([127, 0, 1, 1])
    return bytes(header) + bytes(size - 20)


class Run:
    """Feeds a direction and collects (time, packet) as the link delivers them."""

    def __init__(self, direction):
        self.d = direction
        self.out = []

    def schedule(self, when, p):
        self.out.append((when, p))

    def arrive(self, p, now):
        self.d.arrive(p, now, self.schedule)

    def drain_until(self, end, step=0.001):
        t = 0.0
        while t <= end:
            self.d.drain(t, self.schedule)
            t += step


class NetlinkSimTest(unittest.TestCase):
    def test_loss_is_seeded_and_near_its_rate(self):
        def lost(seed):
            d = sim.Direction("to_far", seed, 12)
            d.configure({"loss": "2"})
            run = Run(d)
            for i in range(10000):
                run.arrive(packet(2, 100), i * 0.001)
            return [when for when, _ in run.out], d.lost

        first, n = lost(7)
        again, m = lost(7)
        other, _ = lost(8)
        self.assertEqual(first, again)  # the same seed drops the same packets
        self.assertEqual(n, m)
        self.assertNotEqual(first, other)  # another seed, other packets
        self.assertTrue(140 <= n <= 260, n)
        self.assertEqual(len(first), 10000 - n)

    def test_delay_and_jitter_stay_in_their_window(self):
        d = sim.Direction("to_far", 3, 12)
        d.configure({"delay": "20", "jitter": "30"})
        run = Run(d)
        for i in range(2000):
            run.arrive(packet(2, 100), 1.0)
        waits = [when - 1.0 for when, _ in run.out]
        self.assertGreaterEqual(min(waits), 0.0)  # 20 - 30 ms is cut at 0
        self.assertLessEqual(max(waits), 0.050 + 1e-9)
        self.assertGreater(max(waits), 0.045)
        self.assertAlmostEqual(sum(waits) / len(waits), 0.0225, delta=0.003)

    def test_rate_cap_paces_each_address_on_its_own(self):
        d = sim.Direction("to_far", 1, 12)
        d.configure({"rate": "1000"})  # 1250-byte packets: one per 10 ms
        run = Run(d)
        for _ in range(50):
            run.arrive(packet(2), 0.0)
            run.arrive(packet(3), 0.0)
        run.drain_until(0.6)
        for src in (2, 3):
            times = [when for when, p in run.out if p[15] == src]
            self.assertEqual(len(times), 50)
            self.assertAlmostEqual(times[0], 0.010, delta=0.0015)
            self.assertAlmostEqual(times[-1], 0.500, delta=0.0015)

    def test_capped_queue_tail_drops_and_a_black_hole_takes_everything(self):
        d = sim.Direction("to_near", 1, 16)
        d.configure({"rate": "1000"})
        run = Run(d)
        for _ in range(300):  # 375 kB into a 256 KiB buffer
            run.arrive(packet(2), 0.0)
        self.assertEqual(d.tail_dropped, 300 - sim.QUEUE_BYTES // 1250)
        d.configure({"down": "1"})
        run.drain_until(0.05)
        run.arrive(packet(2), 0.06)
        self.assertEqual(run.out, [])
        self.assertGreater(d.blackholed, 0)
        # Back up: what still waits goes on at the cap.
        d.configure({"down": "0", "rate": "0"})
        run.drain_until(0.1)
        self.assertGreater(len(run.out), 0)


if __name__ == "__main__":
    sys.exit(unittest.main())
