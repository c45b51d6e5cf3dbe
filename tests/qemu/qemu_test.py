#!/usr/bin/env python3
"""quorvane-cli on a real Linux kernel's serial drivers (tools/qemu/guest.py).

Two FTDI adapters (QEMU's usb-serial on the guest's ftdi_sio) and a 16550
(the guest's 8250), each wired to a quorvane-device on a host pty. What the
CLI did is read from outside: the devices' frames logs, the line settings
of the ptys QEMU holds, and the guest's output. Adapters are pulled and
plugged through QMP while commands run.

Usage: qemu_test.py QUORVANE-CLI QUORVANE-DEVICE [--no-boot]
Prints each scenario's figures; exits non-zero naming what failed.
--no-boot: a kernel that cannot boot must fail the run quickly, with the
reason, and leave no process behind.
"""
import json
import os
import shutil
import signal
import sys
import tempfile
import termios
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../tools/qemu"))
import guest as qemu  # noqa: E402

# The whole run, boot included: the test's own limit (CTest's is above it).
LIMIT_S = 110
# A pulled adapter must be named within this, on the guest's emulated CPU.
REMOVAL_LIMIT_S = 1.0
# Device b answers each request 200 ms late, so that an adapter can be
# pulled between a request and its reply.
B_DELAY_MS = 200
# Device a sends a reply each 3 ms at most, a third of a real line's 11,520
# bytes a second for seq's short lines. Bytes that reach the CLI faster
# than its assembler takes frames are dropped when its 1024-byte receive
# buffer is full: unpaced, QEMU's FTDI brings them at USB speed and most of
# a long answer is lost; paced at 1 ms, a guest held off its processor by
# a busy host still got them in bursts and lost 64 lines in one run.
A_DELAY_MS = 3

A, B = qemu.ADAPTERS["a"][0], qemu.ADAPTERS["b"][0]
GET_NET, SET_NET, SHELL, GET_PW, SET_PW = 0x01, 0x03, 0x05, 0x09, 0x0B
EXIT_PORT = 4   # cli/exit_codes.h: ExitPort, a removal's exit code

# ---- the expectations --------------------------------------------------------

# What `ports --json` must say of each line, read from the guest's sysfs.
IDENTITIES = [
    # port,          transport, vid,    pid,    serial, location, manufacturer
    ("/dev/ttyUSB0", "usb", "0403", "6001", A, "1-1", "QEMU"),
    ("/dev/ttyUSB1", "usb", "0403", "6001", B, "1-2", "QEMU"),
    ("/dev/ttyS1", "native", None, None, None, None, None),
]

# Each command by each way of naming a port: the line it must reach and the
# requests that must arrive there, in order.
COMMANDS = [
    # named,             line, arguments,                                               requests
    ("serial=" + A, "a", ["show"], [GET_NET, GET_PW]),
    ("location=1-2", "b", ["show"], [GET_NET, GET_PW]),
    ("/dev/ttyS1", "c", ["show"], [GET_NET, GET_PW]),
    ("serial=" + B, "b", ["set", "static", "10.1.2.3", "255.255.0.0", "10.1.0.1"], [SET_NET, GET_NET]),
    ("location=1-1", "a", ["set", "dhcp"], [SET_NET, GET_NET]),
    ("/dev/ttyUSB1", "b", ["set", "static", "10.1.2.4", "255.255.0.0", "10.1.0.1"], [SET_NET, GET_NET]),
    ("serial=" + A, "a", ["passwd", "rack-a"], [SET_PW, GET_PW]),
    ("location=1-2", "b", ["passwd", "rack-b"], [SET_PW, GET_PW]),
    ("/dev/ttyS1", "c", ["passwd", "rack-c"], [SET_PW, GET_PW]),
]

# The line settings the CLI asks for, as the far end of each line reads them
# after the CLI has opened it: 115200 8N1 (QEMU hands the guest driver's
# settings to the host's tty). QEMU carries no flow control to the far end,
# so that is read in the guest, where the tty keeps what the CLI left: no
# XON/XOFF (a Linux tty starts with it on) and no RTS/CTS.
LINES = [("serial=" + A, "a", "/dev/ttyUSB0"), ("location=1-2", "b", "/dev/ttyUSB1"), ("/dev/ttyS1", "c", "/dev/ttyS1")]
NO_FLOW_CONTROL = ["-ixon", "-ixoff", "-crtscts"]

SHEET = ("port,mode,ip,mask,gateway,password\n"
         "serial=%s,static,192.168.7.21,255.255.255.0,192.168.7.1,rack-21\n"
         "location=1-2,static,192.168.7.22,255.255.255.0,192.168.7.1,rack-22\n" % A)
# The sheet's rows: line, the address its SetNetConfig must carry (hex).
SHEET_ROWS = [("a", "C0 A8 07 15"), ("b", "C0 A8 07 16")]

failures = []
figures = []


def check(ok, what):
    print(("ok    " if ok else "FAIL  ") + what, flush=True)
    if not ok:
        failures.append(what)


# ---- what the devices saw ----------------------------------------------------

def frames(g, name):
    """(time, kind, bytes) of each frame line in line `name`'s frames log."""
    out = []
    with open(g.frames(name)) as f:
        for line in f:
            words = line.split()
            if len(words) >= 3 and words[1] in ("RX", "TX"):
                out.append((int(words[0]), words[1], bytes.fromhex("".join(words[2:]))))
    return out


def requests(g, name, since):
    return [b[2] for _, kind, b in frames(g, name)[since:] if kind == "RX" and len(b) > 2]


def wait_request(g, name, since, code, limit_s=10):
    """Waits until request `code` arrives at line `name`; the host's time."""
    until = time.monotonic() + limit_s
    while time.monotonic() < until:
        if code in requests(g, name, since):
            return time.monotonic()
        time.sleep(0.003)
    raise qemu.GuestError("request %02X never reached line %s" % (code, name))


# ---- scenarios ----------------------------------------------------------------

def identities(g):
    code, out = g.run(["quorvane-cli", "--json", "ports"])
    ports = {p["port"]: p for p in json.loads(out[0])["ports"]} if code == 0 else {}
    for port, transport, vid, pid, serial, location, maker in IDENTITIES:
        p = ports.get(port, {})
        seen = (p.get("transport"), p.get("vid"), p.get("pid"), p.get("serial"), p.get("location"),
                p.get("manufacturer"))
        check(seen == (transport, vid, pid, serial, location, maker),
              "ports --json: %s is %s (saw %s)" % (port, (transport, vid, pid, serial, location, maker), seen))
    code, out = g.run(["quorvane-cli", "ports"])
    for port, _, vid, pid, serial, location, _ in IDENTITIES:
        row = [l for l in out if l.startswith(port + " ")]
        want = [w for w in (vid and vid + ":" + pid, serial, location) if w]
        check(len(row) == 1 and all(w in row[0].split() for w in want), "ports: the row of %s shows %s" % (port, want))


def line_settings(g):
    for named, name, node in LINES:
        g.spoil_line_settings(name)
        code, _ = g.run(["quorvane-cli", "-p", named, "show"])
        _, _, cflag, _, ispeed, ospeed, _ = g.line_settings(name)
        _, guest_side = g.run(["stty", "-F", node, "-a"])
        words = " ".join(guest_side).split()
        seen = {"speed": (ispeed, ospeed) == (termios.B115200, termios.B115200),
                "8 data bits": cflag & termios.CSIZE == termios.CS8,
                "no parity": not cflag & termios.PARENB, "1 stop bit": not cflag & termios.CSTOPB,
                "no flow control": all(w in words for w in NO_FLOW_CONTROL)}
        check(code == 0 and all(seen.values()),
              "line settings of %s after the CLI opened it: 115200 8N1 at the far end, no flow control (%s)"
              % (named, ", ".join("not " + k for k, v in seen.items() if not v) or "all as asked"))


def commands(g):
    for named, name, args, wanted in COMMANDS:
        marks = {n: len(frames(g, n)) for n in ("a", "b", "c")}
        code, out = g.run(["quorvane-cli", "-p", named] + args)
        arrived = {n: requests(g, n, marks[n]) for n in marks}
        others = [n for n in marks if n != name and arrived[n]]
        check(code == 0 and arrived[name] == wanted and not others,
              "%s %s: exit %d, requests %s at line %s, none elsewhere%s"
              % (named, args[0], code, " ".join("%02X" % c for c in arrived[name]), name,
                 "" if code == 0 else ": " + " / ".join(out[-2:])))


def long_answer(g):
    mark = len(frames(g, "a"))
    code, out = g.run(["quorvane-cli", "-p", "/dev/ttyUSB0", "exec", "seq", "1200"])
    size = sum(len(l) + 1 for l in out)
    replies = [b for _, k, b in frames(g, "a")[mark:] if k == "TX" and b[2] == SHELL + 1]
    check(code == 0 and size > 4096 and len(replies) == 1200 and out == [str(n) for n in range(1, 1201)],
          "exec with a %d-byte answer: exit %d, %d lines printed of %d sent%s"
          % (size, code, len(out), len(replies), _missing(out, 1200)))


def _missing(out, count):
    gone = sorted(set(range(1, count + 1)) - {int(l) for l in out if l.isdigit()})
    return "; missing %d-%d (%d)" % (gone[0], gone[-1], len(gone)) if gone else ""


def provision(g):
    # One console line per command: the sheet's line breaks go as printf's \n.
    g.run(["sh", "-c", "printf \"$0\" > /tmp/sheet.csv; rm -f /tmp/p.log", SHEET.replace("\n", "\\n")])
    marks = {n: len(frames(g, n)) for n in ("a", "b")}
    code, out = g.run(["quorvane-cli", "provision", "/tmp/sheet.csv", "--log", "/tmp/p.log", "--no-mac"], 30)
    _, log = g.run(["cat", "/tmp/p.log"])
    rows = [r for r in map(json.loads, log) if "result" in r]   # claim lines have none
    check(code == 0 and len(rows) == 2 and all(r["result"] == "ok" for r in rows),
          "provision by serial= and location=: exit %d, %d log lines %s" % (code, len(rows), [r["result"] for r in rows]))
    for name, address in SHEET_ROWS:
        sets = [b.hex(" ").upper() for _, k, b in frames(g, name)[marks[name]:] if k == "RX" and b[2] == SET_NET]
        check(any(address in s for s in sets), "provision: line %s was set to %s" % (name, address))
    adapters = {r["adapter"]["serial"]: r["adapter"]["location"] for r in rows if r.get("adapter")}
    check(adapters == {A: "1-1", B: "1-2"}, "provision's log names each row's adapter: %s" % adapters)


def probe(g):
    code, out = g.run(["quorvane-cli", "--json", "ports", "--probe", "--exclude", "/dev/ttyS0"], 20)
    results = {p["port"]: p["result"] for p in json.loads(out[-1]).get("ports", [])} if out else {}
    want = {"/dev/ttyUSB0": "answering", "/dev/ttyUSB1": "answering", "/dev/ttyS1": "answering",
            "/dev/ttyS0": "skipped"}
    check(code == 0 and results == want, "ports --probe --exclude /dev/ttyS0 (the console): %s" % results)


def wait_adapters(g, count=2):
    code, _ = g.run(["sh", "-c", "n=0; while [ $(ls /dev/ttyUSB* 2>/dev/null | wc -l) -lt %d ] && [ $n -lt 100 ];"
                     " do sleep 0.05; n=$((n+1)); done; [ $n -lt 100 ]" % count])
    if code != 0:
        raise qemu.GuestError("the adapters did not come back")


def watch(g):
    """Pulled and plugged during watch: b comes back under a's old name."""
    cid, mark = g.start(["quorvane-cli", "-p", "serial=" + B, "--json", "watch"])
    i, _, first = g.live(cid, lambda l: '"connected"' in l, 10, mark, "watch to connect")
    pulled = g.unplug("b")
    i, seen, line = g.live(cid, lambda l: True, 5, i + 1, "watch's next line")
    latency = seen - pulled
    figures.append(("watch: pulled adapter named after", latency))
    check('"removed"' in line and "device node is gone" in line and latency < REMOVAL_LIMIT_S,
          "watch names the pulled adapter in %.3f s: %s" % (latency, line))
    g.unplug("a")
    time.sleep(0.3)
    g.plug("b")   # the lowest free name: a's /dev/ttyUSB0
    plugged = time.monotonic()
    i, seen, line = g.live(cid, lambda l: True, 8, i + 1, "watch to reconnect")
    figures.append(("watch: reconnected after the plug", seen - plugged))
    check('"connected"' in line and "/dev/ttyUSB0" in line,
          "watch reconnects to the same serial under another name in %.1f s: %s" % (seen - plugged, line))
    g.plug("a")
    wait_adapters(g)
    check(g.stop(cid) == 0, "watch was still running and ends with exit 0 on Ctrl+C")


def pulled_provision(g):
    """b pulled at its first request: its row fails with the removal, a's finishes."""
    g.run(["sh", "-c", "rm -f /tmp/p.log"])
    mark = len(frames(g, "b"))
    # --force: the units already hold the sheet's settings, and would be left unchanged.
    cid, _ = g.start(["quorvane-cli", "provision", "/tmp/sheet.csv", "--log", "/tmp/p.log", "--no-mac", "--force"])
    wait_request(g, "b", mark, SET_NET)   # the row has started; its reply is 200 ms away
    pulled = g.unplug("b")
    code = g.stop(cid, "none", 10)
    ended = time.monotonic()
    _, log = g.run(["cat", "/tmp/p.log"])
    rows = {r["adapter"]["serial"] if r.get("adapter") else r["selector"]: r
            for r in map(json.loads, log) if "result" in r}
    b, a = rows.get(B, rows.get("location=1-2", {})), rows.get(A, {})
    figures.append(("provision: pull to the command's end", ended - pulled))
    check(code == EXIT_PORT and b.get("result") == "port_error" and "removed" in b.get("reason", "")
          and a.get("result") == "ok" and ended - pulled < REMOVAL_LIMIT_S + 0.5,
          "provision with b pulled: exit %d in %.3f s; b %s (%s); a %s"
          % (code, ended - pulled, b.get("result"), b.get("reason"), a.get("result")))


def pulled_probe(g):
    mark = len(frames(g, "b"))
    cid, m = g.start(["quorvane-cli", "--json", "ports", "--probe", "--exclude", "/dev/ttyS0"])
    wait_request(g, "b", mark, GET_NET)
    pulled = g.unplug("b")
    g.stop(cid, "none", 10)
    ended = time.monotonic()
    # The guest's relay of the output may still be writing when the probe has ended.
    _, _, last = g.live(cid, lambda l: l.startswith('{"command"'), 5, m, "the probe's document")
    doc = json.loads(last)
    results = {p["port"]: (p["result"], p.get("reason", "")) for p in doc["ports"]}
    gone = [r for r in results.values() if "removed" in r[1]]
    figures.append(("ports --probe: pull to the command's end", ended - pulled))
    check(len(gone) == 1 and gone[0][0] == "failed" and [r[0] for r in results.values()].count("answering") == 2
          and ended - pulled < REMOVAL_LIMIT_S + 0.5,
          "ports --probe with b pulled: ended %.3f s after the pull; %s" % (ended - pulled, results))


def pulled_exec(g):
    cid, m = g.start(["quorvane-cli", "-p", "serial=" + B, "exec", "seq", "2000"])
    i, _, _ = g.live(cid, lambda l: l == "4", 10, m, "exec's fourth line")
    pulled = g.unplug("b")
    i, seen, line = g.live(cid, lambda l: "removed" in l, 5, i + 1, "exec to name the removal")
    code = g.stop(cid, "none", 5)
    figures.append(("exec: pulled adapter named after", seen - pulled))
    check(code == EXIT_PORT and seen - pulled < REMOVAL_LIMIT_S,
          "exec with a long answer, b pulled: exit %d, named in %.3f s: %s" % (code, seen - pulled, line))


def plug_b_back(g):
    g.plug("b")
    wait_adapters(g)


# In this order: the path scenarios come before watch moves the adapters'
# names, and each pull but the last is followed by the adapter's return.
SCENARIOS = [identities, line_settings, commands, long_answer, provision, probe, watch,
             pulled_provision, plug_b_back, pulled_probe, plug_b_back, pulled_exec]


def no_boot(cli, device, work):
    """A guest whose kernel image is not one (its modules are the real
    kernel's): the run fails, says why, and stops everything."""
    real = os.environ.get("QV_KERNEL_DIR") or os.path.join(qemu.ROOT, "build/kernel")
    release = open(os.path.join(real, "release")).read().strip()
    kernel = os.path.join(work, "kernel")
    os.makedirs(os.path.join(kernel, "root/boot"))
    os.symlink(os.path.join(real, "root/lib"), os.path.join(kernel, "root/lib"))
    shutil.copy(os.path.join(real, "release"), kernel)
    with open(os.path.join(kernel, "root/boot/vmlinuz-" + release), "wb") as f:
        f.write(b"not a kernel" * 100)
    g = qemu.Guest(cli, device, work, 30, kernel_dir=kernel)
    started = time.monotonic()
    try:
        g.boot(boot_limit_s=20)
        failures.append("a guest without a kernel booted")
    except (qemu.GuestError, OSError) as e:
        print("the run failed as it must, after %.1f s: %s" % (time.monotonic() - started, str(e).splitlines()[0]))
    finally:
        g.close()
    left = [p.args[0] for p in ([g.qemu] if g.qemu else []) + list(g.devices.values()) if p.poll() is None]
    check(not left and time.monotonic() - started < 25, "nothing left running (%s)" % left)


def main():
    if len(sys.argv) == 4 and sys.argv[3] == "--no-boot":
        work = tempfile.mkdtemp(prefix="qv-qemu-no-boot-")
        try:
            no_boot(sys.argv[1], sys.argv[2], work)
        finally:
            shutil.rmtree(work, ignore_errors=True)
        sys.exit("%d failed" % len(failures) if failures else 0)
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    work = tempfile.mkdtemp(prefix="qv-qemu-test-")
    # CTest ends a test that runs over its time with SIGTERM: stop everything.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("stopped: SIGTERM"))
    g = qemu.Guest(sys.argv[1], sys.argv[2], work, LIMIT_S, kernel_dir=os.environ.get("QV_KERNEL_DIR"),
                   device_args={"a": ["--delay", str(A_DELAY_MS)], "b": ["--delay", str(B_DELAY_MS)]})
    started = time.monotonic()
    try:
        g.boot()
        figures.append(("boot to the guest's shell", g.boot_s))
        for scenario in SCENARIOS:
            scenario(g)
        figures.append(("the whole run", time.monotonic() - started))
    except qemu.GuestError as e:
        failures.append(str(e))
        print("FAIL  " + str(e))
    finally:
        g.close()
        shutil.rmtree(work, ignore_errors=True)
    for what, seconds in figures:
        print("figure  %-42s %.3f s" % (what, seconds))
    if failures:
        sys.exit("%d failed" % len(failures))


if __name__ == "__main__":
    main()
