#!/usr/bin/env python3
"""A real Linux kernel with real serial drivers, for quorvane-cli.

Boots Debian's kernel (unpacked by tools/qemu/fetch-kernel.sh into
build/kernel) in QEMU, without KVM, with:
  - two FTDI USB-serial adapters (QEMU's usb-serial, driven by the guest's
    own ftdi_sio) with their own USB serials on xhci ports 1 and 2, so their
    locations differ;
  - a 16550 (isa-serial, index 1: ttyS1) on the guest's 8250 driver;
  - the console on ttyS0, which is QEMU's standard input and output here;
each of the three lines wired to its own quorvane-device on a pty of the
host. The initramfs holds busybox, the USB modules with their dependencies
(from modules.dep), quorvane-cli with its shared libraries, and
guest-init.sh, which runs the host's commands and frames their output.

The host pulls and plugs adapters through QMP (device_del, device_add) and
reads the line settings the guest's driver gave each line with tcgetattr on
the pty QEMU holds. Every wait has a limit under one overall deadline, and
close() stops every process this started, also after a failure.

As a program: boots the guest and gives its shell on this terminal's lines
(each line a command), for trying things by hand.
"""
import ctypes
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import termios
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))

# The adapters: name -> (USB serial, xhci port). usb-serial is a full-speed
# device, so it sits on the controller's USB 2 ports (1-4): locations 1-1, 1-2.
ADAPTERS = {"a": ("FT9QX2LC", 1), "b": ("FT7RM4KD", 2)}
UART = "c"   # the third device, on the 16550
MODULES = ["xhci_pci", "ftdi_sio"]
# The CLI converts texts to and from GBK with iconv, which loads glibc's
# converter at run time: ldd does not see it.
GCONV = "/usr/lib/x86_64-linux-gnu/gconv"
GCONV_FILES = ["GBK.so", "gconv-modules", "gconv-modules.cache"]


class GuestError(Exception):
    pass


def _die_with_parent():
    """In each child: SIGTERM when this process ends, however it ends (even
    by SIGKILL, when close() cannot run), so no QEMU or device outlives it."""
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def _newc(entries):
    """A newc cpio archive of (name, mode, data[, (major, minor)]) in order."""
    out = bytearray()
    for ino, entry in enumerate(entries + [("TRAILER!!!", 0, b"")], 1):
        name, mode, data = entry[:3]
        rdev = entry[3] if len(entry) > 3 else (0, 0)
        encoded = name.encode() + b"\0"
        fields = [ino, mode, 0, 0, 1, 0, len(data), 0, 0, rdev[0], rdev[1], len(encoded), 0]
        out += b"070701" + b"".join(b"%08X" % f for f in fields) + encoded
        out += b"\0" * (-len(out) % 4) + data
        out += b"\0" * (-len(out) % 4)
    return bytes(out)


def _module_order(kernel_root, release):
    """The wanted modules and their dependencies, dependencies first."""
    base = os.path.join(kernel_root, "lib/modules", release)
    deps = {}
    with open(os.path.join(base, "modules.dep")) as f:
        for line in f:
            path, _, rest = line.partition(":")
            deps[path] = rest.split()
    by_name = {os.path.basename(p).split(".ko")[0].replace("-", "_"): p for p in deps}
    order = []

    def visit(path):
        # modules.dep lists every dependency, nearest first; load the far ones first.
        for dep in reversed(deps[path]):
            visit(dep)
        if path not in order:
            order.append(path)
    for name in MODULES:
        if name not in by_name:
            raise GuestError("the kernel has no module %s (is it built in?)" % name)
        visit(by_name[name])
    return base, order


def _shared_libraries(program):
    """The files ldd says `program` loads, as (path in the guest, host file)."""
    out = subprocess.run(["ldd", program], capture_output=True, text=True, check=True).stdout
    files = []
    for line in out.splitlines():
        words = line.split()
        path = words[2] if "=>" in words and len(words) > 2 else words[0]
        if path.startswith("/"):
            files.append((path, os.path.realpath(path)))
    return files


def build_initramfs(cli, kernel_dir, out_path):
    release = open(os.path.join(kernel_dir, "release")).read().strip()
    kroot = os.path.join(kernel_dir, "root")
    base, modules = _module_order(kroot, release)
    entries = [(d, 0o40755, b"") for d in
               ["bin", "sbin", "dev", "proc", "sys", "tmp", "modules", "lib", "lib64", "usr", "usr/lib",
                "lib/x86_64-linux-gnu", "usr/lib/x86_64-linux-gnu"]]
    read = lambda p: open(p, "rb").read()
    # The kernel opens /dev/console for init before devtmpfs is mounted.
    entries.append(("dev/console", 0o20600, b"", (5, 1)))
    entries.append(("bin/busybox", 0o100755, read("/bin/busybox")))
    entries.append(("bin/sh", 0o120777, b"busybox"))
    entries.append(("init", 0o100755, read(os.path.join(HERE, "guest-init.sh"))))
    entries.append(("bin/quorvane-cli", 0o100755, read(cli)))
    for guest_path, host_file in _shared_libraries(cli):
        entries.append((guest_path.lstrip("/"), 0o100755, read(host_file)))
    entries.append((GCONV.lstrip("/"), 0o40755, b""))
    for name in GCONV_FILES:
        entries.append((GCONV.lstrip("/") + "/" + name, 0o100755, read(os.path.join(GCONV, name))))
    for m in modules:
        entries.append(("modules/" + os.path.basename(m), 0o100644, read(os.path.join(base, m))))
    order = "".join(os.path.basename(m) + "\n" for m in modules).encode()
    entries.append(("modules/order", 0o100644, order))
    with open(out_path, "wb") as f:
        f.write(_newc(entries))
    return release


class Guest:
    def __init__(self, cli, device, work, limit_s, kernel_dir=None, device_args=None):
        self.cli, self.device, self.work = cli, device, work
        self.kernel_dir = kernel_dir or os.path.join(ROOT, "build/kernel")
        self.deadline = time.monotonic() + limit_s
        self.device_args = device_args or {}
        self.devices, self.qemu, self.qmp_sock = {}, None, None
        self.lines, self.cond = [], threading.Condition()
        self.serial = 0
        self.boot_s = None

    # ---- time ----
    def left(self, limit_s):
        left = min(limit_s, self.deadline - time.monotonic())
        if left <= 0:
            raise GuestError("the guest's time limit is up")
        return left

    # ---- the three devices ----
    def link(self, name):
        return os.path.join(self.work, "ttyQV" + name)

    def frames(self, name):
        return os.path.join(self.work, name + ".frames")

    def _start_devices(self):
        for name in list(ADAPTERS) + [UART]:
            args = [self.device, "--link", self.link(name), "--frames-log", self.frames(name),
                    "--wall-clock", "--quiet"] + self.device_args.get(name, [])
            with open(os.path.join(self.work, name + ".out"), "wb") as out:   # the pty's name
                self.devices[name] = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=out,
                                                      preexec_fn=_die_with_parent)
        until = time.monotonic() + self.left(5)
        while not all(os.path.exists(self.link(n)) for n in self.devices):
            if time.monotonic() > until:
                raise GuestError("the virtual devices made no ptys within 5 s")
            time.sleep(0.02)

    # ---- QEMU ----
    def _qemu_command(self, initrd, release):
        kernel = os.path.join(self.kernel_dir, "root/boot/vmlinuz-" + release)
        cmd = ["qemu-system-x86_64", "-machine", "q35", "-cpu", "max", "-m", "512", "-nographic",
               "-monitor", "none", "-nic", "none", "-no-reboot", "-serial", "stdio",
               "-kernel", kernel, "-initrd", initrd,
               "-append", "console=ttyS0 quiet panic=-1 rdinit=/init",
               "-qmp", "unix:%s,server=on,wait=off" % self.qmp_path(),
               "-device", "qemu-xhci,id=xhci"]
        for name in list(ADAPTERS) + [UART]:
            cmd += ["-chardev", "serial,id=line-%s,path=%s" % (name, self.link(name))]
        for name in ADAPTERS:
            cmd += ["-device", ",".join("%s=%s" % kv for kv in self.adapter_args(name).items())]
        cmd += ["-device", "isa-serial,chardev=line-%s,index=1" % UART]
        return cmd

    def adapter_args(self, name):
        serial, port = ADAPTERS[name]
        return {"driver": "usb-serial", "id": "usb-" + name, "chardev": "line-" + name,
                "serial": serial, "bus": "xhci.0", "port": str(port)}

    def qmp_path(self):
        return os.path.join(self.work, "qmp.sock")

    def _read_console(self):
        for raw in self.qemu.stdout:
            line = raw.decode("utf-8", "replace").rstrip("\r\n")
            with self.cond:
                self.lines.append((time.monotonic(), line))
                self.cond.notify_all()
        with self.cond:
            self.lines.append((time.monotonic(), None))   # QEMU's output ended
            self.cond.notify_all()

    def wait_line(self, test, limit_s, since=0, what="a line"):
        """The first console line from index `since` for which test(line)
        holds: (index, time, line). Fails when QEMU ends or time is up."""
        until = time.monotonic() + self.left(limit_s)
        with self.cond:
            i = since
            while True:
                while i < len(self.lines):
                    t, line = self.lines[i]
                    if line is None:
                        raise GuestError("QEMU ended while waiting for %s; its last lines:\n%s"
                                         % (what, self.tail()))
                    if test(line):
                        return i, t, line
                    i += 1
                if not self.cond.wait(until - time.monotonic()) and time.monotonic() >= until:
                    raise GuestError("waited %.0f s for %s; the console's last lines:\n%s"
                                     % (limit_s, what, self.tail()))

    def tail(self, n=15):
        return "\n".join("    " + (l or "<end>") for _, l in self.lines[-n:])

    def boot(self, boot_limit_s=60):
        if shutil.which("qemu-system-x86_64") is None:
            raise GuestError("qemu-system-x86_64 is not installed (tools/install-deps.sh installs qemu-system-x86)")
        if not os.path.exists(os.path.join(self.kernel_dir, "release")):
            raise GuestError("no kernel in %s (tools/qemu/fetch-kernel.sh unpacks it)" % self.kernel_dir)
        initrd = os.path.join(self.work, "initramfs.cpio")
        release = build_initramfs(self.cli, self.kernel_dir, initrd)
        self._start_devices()
        started = time.monotonic()
        self.qemu = subprocess.Popen(self._qemu_command(initrd, release), stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                     preexec_fn=_die_with_parent)
        threading.Thread(target=self._read_console, daemon=True).start()
        # The firmware's screen escapes may share the first line with the marker.
        _, _, line = self.wait_line(lambda l: "@@READY" in l or l.startswith("@@FAIL"),
                                    boot_limit_s, what="the guest to boot")
        if line.startswith("@@FAIL"):
            raise GuestError("the guest failed to start: " + line)
        self.boot_s = time.monotonic() - started
        self._connect_qmp()

    # ---- commands in the guest ----
    def send(self, line):
        self.qemu.stdin.write(line.encode() + b"\n")
        self.qemu.stdin.flush()

    def _id(self):
        self.serial += 1
        return "c%d" % self.serial

    def run(self, args, limit_s=20):
        """Runs a command in the guest: (exit code, output lines)."""
        cid = self._id()
        mark = len(self.lines)
        self.send("qv_run %s %s" % (cid, " ".join(_quote(a) for a in args)))
        start, _, _ = self.wait_line(lambda l: l == "@@OUT " + cid, limit_s, mark, "the output of " + " ".join(args))
        end, _, line = self.wait_line(lambda l: l.startswith("@@END %s " % cid), limit_s, start, "the end of " + " ".join(args))
        out = [l for _, l in self.lines[start + 1:end] if not l.startswith("@@LIVE ")]
        return int(line.split()[2]), out

    def start(self, args):
        """Starts a command in the guest's background; its lines come as live lines."""
        cid = self._id()
        mark = len(self.lines)
        self.send("qv_bg %s %s" % (cid, " ".join(_quote(a) for a in args)))
        self.wait_line(lambda l: l == "@@END %s started" % cid, 10, mark, "a start")
        return cid, mark

    def live(self, cid, test, limit_s, since=0, what="a line"):
        """The first line of background command `cid` that test() accepts: (index, time, text)."""
        prefix = "@@LIVE %s " % cid
        i, t, line = self.wait_line(lambda l: l.startswith(prefix) and test(l[len(prefix):]), limit_s, since, what)
        return i, t, line[len(prefix):]

    def live_lines(self, cid):
        prefix = "@@LIVE %s " % cid
        with self.cond:
            return [l[len(prefix):] for _, l in self.lines if l and l.startswith(prefix)]

    def stop(self, cid, sig="INT", limit_s=10):
        mark = len(self.lines)
        self.send("qv_stop %s %s" % (cid, sig))
        _, _, line = self.wait_line(lambda l: l.startswith("@@END %s " % cid), limit_s, mark, "the end of " + cid)
        return int(line.split()[2])

    # ---- QMP: pulling and plugging adapters ----
    def _connect_qmp(self):
        self.qmp_sock = socket.socket(socket.AF_UNIX)
        self.qmp_sock.settimeout(10)
        self.qmp_sock.connect(self.qmp_path())
        self.qmp_file = self.qmp_sock.makefile("rwb")
        self.qmp_file.readline()   # the greeting
        self.qmp("qmp_capabilities")

    def qmp(self, command, **arguments):
        message = {"execute": command}
        if arguments:
            message["arguments"] = arguments
        self.qmp_file.write(json.dumps(message).encode() + b"\n")
        self.qmp_file.flush()
        while True:   # events (DEVICE_DELETED, ...) may come first
            reply = json.loads(self.qmp_file.readline())
            if "error" in reply:
                raise GuestError("QMP %s: %s" % (command, reply["error"]))
            if "return" in reply:
                return reply["return"]

    def unplug(self, name):
        """Pulls adapter `name`; returns the host's monotonic time of the pull."""
        pulled = time.monotonic()
        self.qmp("device_del", id="usb-" + name)
        return pulled

    def plug(self, name, limit_s=5):
        """Plugs adapter `name` back. QEMU finishes a device_del only once the
        guest has let the device go; until then its line is "in use"."""
        until = time.monotonic() + self.left(limit_s)
        while True:
            try:
                return self.qmp("device_add", **self.adapter_args(name))
            except GuestError as e:
                if "in use" not in str(e) or time.monotonic() > until:
                    raise
                time.sleep(0.05)

    # ---- the far end of a line ----
    def line_settings(self, name):
        """termios of the pty QEMU holds for line `name`: what the guest's driver set."""
        fd = os.open(self.link(name), os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        try:
            return termios.tcgetattr(fd)
        finally:
            os.close(fd)

    def spoil_line_settings(self, name):
        """Puts 2400 7E2 with flow control on line `name`, so that what the
        guest's next opening sets is seen, not what was there. QEMU's tty
        backend clears CRTSCTS and IXON itself whenever the guest sets the
        line (it carries no flow control), so those two show only that the
        guest's setting arrived at all; speed, size, parity and stop bits
        are the guest's own."""
        fd = os.open(self.link(name), os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        try:
            attrs = termios.tcgetattr(fd)
            attrs[2] = (attrs[2] & ~termios.CSIZE) | termios.CS7 | termios.PARENB | termios.CSTOPB | termios.CRTSCTS
            attrs[0] |= termios.IXON
            attrs[4] = attrs[5] = termios.B2400
            termios.tcsetattr(fd, termios.TCSANOW, attrs)
        finally:
            os.close(fd)

    # ---- the end ----
    def close(self):
        """Stops QEMU and the devices, whatever state they are in."""
        if self.qmp_sock is not None:
            self.qmp_sock.close()
        procs = ([self.qemu] if self.qemu else []) + list(self.devices.values())
        for p in procs:
            if p.poll() is None:
                p.terminate()
        for p in procs:
            try:
                p.wait(timeout=5)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()


def _quote(arg):
    if arg and all(c.isalnum() or c in "-_./=:,@+%" for c in arg):
        return arg
    return "'" + arg.replace("'", "'\"'\"'") + "'"


def main():
    import tempfile
    if len(sys.argv) != 3:
        sys.exit("usage: guest.py QUORVANE-CLI QUORVANE-DEVICE")
    work = tempfile.mkdtemp(prefix="qv-guest-")
    guest = Guest(sys.argv[1], sys.argv[2], work, 3600)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    try:
        guest.boot()
        print("booted in %.1f s; lines in %s; each line you type runs in the guest" % (guest.boot_s, work))
        for line in sys.stdin:
            code, out = guest.run(["sh", "-c", line.strip()], 60)
            print("\n".join(out) + "\n[exit %d]" % code)
    except GuestError as e:
        sys.exit("guest: %s" % e)
    finally:
        guest.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
