#!/usr/bin/python3
"""quorvane-device --line-speed on its own pty, on the real clock: a request
and its answer of some 900 bytes (ifconfig) take the time 115200 8N1 needs
for them, byte after byte, and no more than a loaded machine adds; without
the option the answer comes at memory speed.

usage: line_speed_test.py QUORVANE_DEVICE"""
import os, select, sys, time, tty, unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from device_process import DeviceProcess

DEVICE = sys.argv[1]
BYTE_S = 10 / 115200                      # start bit, 8 data bits, stop bit
IFCONFIG = bytes.fromhex("55 AA 05 00 00 09 69 66 63 6F 6E 66 69 67 00 A5 CC")
QUIET_S = 0.5                             # the answer has ended


class Device(DeviceProcess):
    """A device on a new pty, opened raw by the test as its client."""

    def __init__(self, test, *args):
        super().__init__(test, DEVICE, "qv-line-", args)
        self.fd = os.open(self.path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        test.addCleanup(self.close)
        tty.setraw(self.fd)

    def close(self):
        if self.fd >= 0:
            os.close(self.fd)
        self.fd = -1

    def log_lines(self):
        with open(self.log) as f:
            return [(int(l.split()[0]), l.split()[1], len(l.split()) - 2) for l in f]

    def sent_bytes(self):
        return sum(n for _, tag, n in self.log_lines() if tag == "TX")

    def ask(self, request):
        """Writes `request`; returns the moment just before the write and
        each read as (seconds since then, bytes so far)."""
        before = time.monotonic()
        os.write(self.fd, request)
        reads, total = [], 0
        while select.select([self.fd], [], [], QUIET_S)[0]:
            total += len(os.read(self.fd, 4096))
            reads.append((time.monotonic() - before, total))
        return reads


class LineSpeed(unittest.TestCase):
    def test_each_byte_at_its_moment(self):
        d = Device(self, "--line-speed")
        reads = d.ask(IFCONFIG)
        answer = reads[-1][1]
        self.assertEqual(answer, d.sent_bytes())
        self.assertGreater(answer, 800)
        wire = (len(IFCONFIG) + answer) * BYTE_S
        # Never ahead of the wire: by each read, the request and the bytes
        # read so far fit in the time since the request was written (a read
        # is timed after it returns, so load only makes this looser).
        for at, total in reads:
            self.assertLessEqual(len(IFCONFIG) + total, at / BYTE_S + 1,
                                 f"{total} bytes by {at * 1e3:.2f} ms: ahead of 115200 baud")
        last = reads[-1][0]
        self.assertGreaterEqual(last, wire - 0.0002)
        self.assertLess(last, 2 * wire + 0.1, f"{last * 1e3:.1f} ms for {wire * 1e3:.1f} ms on the wire")
        # Evenly: the bytes come one or a few at a time, not a frame (most
        # are of 40 to 85 bytes) at once; a loaded machine reads late, and
        # then several together.
        sizes = sorted(b - a for (_, a), (_, b) in zip([(0, 0)] + reads, reads))
        self.assertLess(sizes[len(sizes) // 2], 32, f"median read {sizes[len(sizes) // 2]} bytes")

    def test_not_paced_once_the_client_has_gone(self):
        """The rest of an answer whose client closed the line reaches nobody:
        it goes at once instead of taking the machine's time for 70 ms."""
        d = Device(self, "--line-speed")
        os.write(d.fd, IFCONFIG)
        d.close()   # as a client that has what it wanted, well before the answer's end
        for _ in range(100):
            log = d.log_lines()
            if sum(tag == "TX" for _, tag, _ in log) == 19 and any(tag == "CLOSE" for _, tag, _ in log):
                break
            time.sleep(0.02)
        at = next(i for i, (_, tag, _) in enumerate(log) if tag == "CLOSE")
        after = [(ms, n) for ms, tag, n in log[at:] if tag == "TX"]
        # The frames are logged as each starts: paced, the last would start
        # the wire time of the ones before it after the closing, or later.
        paced_ms = sum(n for _, n in after[:-1]) * BYTE_S * 1000
        self.assertGreater(paced_ms, 40)
        self.assertLess(after[-1][0] - log[at][0], 0.75 * paced_ms, log)

    def test_memory_speed_by_default(self):
        d = Device(self)
        reads = d.ask(IFCONFIG)
        self.assertEqual(reads[-1][1], d.sent_bytes())
        self.assertLess(reads[-1][0], (len(IFCONFIG) + reads[-1][1]) * BYTE_S)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
