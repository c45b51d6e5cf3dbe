#!/usr/bin/python3
"""quorvane-cli against quorvane-device over pseudo-terminals: what the CLI
adds on top of the device client (output, JSON, exit codes, read-back
verification, GBK at the edges, workers). The bytes of each request are the
client's own tests' business.

usage: cli_test.py QUORVANE_CLI QUORVANE_DEVICE"""
import datetime, json, os, pty, pwd, re, select, signal, socket, subprocess, sys, tempfile, time, unittest, fcntl

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from device_process import DeviceProcess

CLI, DEVICE = sys.argv[1], sys.argv[2]
README = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "README.md")
CN_PASSWORD = "新密码"


class Device(DeviceProcess):
    """One quorvane-device on a pty, reachable through a symlink."""

    def __init__(self, test, *args):
        super().__init__(test, DEVICE, "qv-cli-", ["--seed", "7", *args], linked=True)

    def log_lines(self):
        with open(self.log) as f:
            return [(l.split()[1], bytes.fromhex("".join(l.split()[2:]))) for l in f]

    def line_opened_and_closed(self):
        """How often a client opened the line, and closed it, once the device
        has noted the last close (it notes them as they come)."""
        for _ in range(40):
            tags = [t for t, _ in self.log_lines()]
            if tags.count("OPEN") == tags.count("CLOSE"):
                break
            time.sleep(0.05)
        return tags.count("OPEN"), tags.count("CLOSE")

    def frames(self, tag):
        return [frame for t, frame in self.log_lines() if t == tag]

    def sent_lines(self, damaged_too=False):
        """Output lines as sent, without those whose checksum was corrupted
        (logged as TXC right after their TX line) unless asked."""
        log = self.log_lines() + [("", b"")]
        return [f[7:-3].decode("gbk") for (t, f), (after, _) in zip(log, log[1:])
                if t == "TX" and f[2] == 6 and (damaged_too or after != "TXC")]


def cli(*args, timeout=60):
    p = subprocess.run([CLI, *args], capture_output=True, timeout=timeout)
    return p.returncode, p.stdout.decode(), p.stderr.decode()


def cli_json(*args):
    rc, out, _ = cli("--json", *args)
    return rc, json.loads(out)


def sheet(directory, text, encoding="utf-8"):
    path = os.path.join(directory, "rows.csv")
    with open(path, "wb") as f:
        f.write(text.encode(encoding) if isinstance(text, str) else text)
    return path


class Commands(unittest.TestCase):
    def test_show_text_json_and_masking(self):
        d = Device(self, "--ip", "10.9.8.7", "--mask", "255.0.0.0", "--gateway", "10.0.0.1",
                   "--password", CN_PASSWORD.encode("gbk"))
        rc, out, _ = cli("-p", d.link, "show")
        self.assertEqual(rc, 0)
        self.assertIn("ip        10.9.8.7\n", out)
        self.assertIn("password  ********\n", out)
        self.assertNotIn(CN_PASSWORD, out)
        rc, doc = cli_json("-p", d.link, "show", "--show-password")
        self.assertEqual((rc, doc["result"], doc["exit_code"]), (0, "ok", 0))
        self.assertEqual({k: doc[k] for k in ("dhcp", "ip", "mask", "gateway", "password")},
                         {"dhcp": False, "ip": "10.9.8.7", "mask": "255.0.0.0", "gateway": "10.0.0.1",
                          "password": CN_PASSWORD})

    def test_set_is_read_back(self):
        d = Device(self)
        rc, doc = cli_json("-p", d.link, "set", "static", "172.16.5.9", "255.255.240.0", "172.16.0.254")
        self.assertEqual(rc, 0)
        self.assertEqual(doc["read_back"], {"dhcp": False, "ip": "172.16.5.9", "mask": "255.255.240.0",
                                            "gateway": "172.16.0.254"})
        self.assertEqual([f[2] for f in d.frames("RX")], [3, 1])   # set, then read back
        rc, out, _ = cli("-p", d.link, "set", "dhcp")
        self.assertEqual(rc, 0)
        self.assertEqual(cli_json("-p", d.link, "show")[1]["dhcp"], True)

    def test_chinese_password_round_trip(self):
        d = Device(self)
        rc, out, _ = cli("-p", d.link, "passwd", CN_PASSWORD)
        self.assertEqual(rc, 0, out)
        field = d.frames("RX")[0][6:22]
        self.assertEqual(field, CN_PASSWORD.encode("gbk").ljust(16, b"\0"))
        self.assertEqual(cli_json("-p", d.link, "show", "--show-password")[1]["password"], CN_PASSWORD)

    def test_device_that_accepts_but_does_not_apply(self):
        d = Device(self, "--ignore-changes")
        for args in (["set", "static", "10.1.1.1", "255.0.0.0", "10.0.0.1"], ["passwd", "other"],
                     ["set", "static", "192.168.1.10", "255.255.255.0", "192.168.1.254"]):   # gateway only
            rc, doc = cli_json("-p", d.link, *args)
            self.assertEqual((rc, doc["result"]), (1, "verify_failed"), args)
            self.assertIn("verification failed", doc["error"])

    def test_chinese_output_and_quiet_end(self):
        d = Device(self)
        rc, out, _ = cli("-p", d.link, "exec", "--quiet", "300", "echo", "你好", "世界")
        self.assertEqual((rc, out), (0, "你好 世界\n"))
        rc, doc = cli_json("-p", d.link, "exec", "ping", "10.0.0.1")
        self.assertEqual(doc["sent"], "ping 10.0.0.1 -c 4")
        self.assertEqual(doc["lines"], d.sent_lines()[1:])
        self.assertEqual(sum("bytes from" in l for l in doc["lines"]), 4)
        self.assertEqual(cli_json("-p", d.link, "exec", "--quiet", "300", "echo", "ping")[1]["sent"], "echo ping")

    def test_trace_decodes_and_masks(self):
        d = Device(self, "--password", "secret")
        trace = os.path.join(d.dir, "trace")
        self.assertEqual(cli("-p", d.link, "--trace", trace, "show")[0], 0)
        with open(trace, encoding="utf-8") as f:
            text = f.read()
        self.assertRegex(text, r"\d\d:\d\d:\d\d\.\d{3}  TX   01 GetNetConfig\n")
        self.assertIn("RX   0A GetAdminPassword reply  ok  ********", text)
        self.assertNotIn("secret", text)
        cli("-p", d.link, "--trace", trace, "--show-password", "passwd", "abc")
        with open(trace, encoding="utf-8") as f:
            self.assertIn('TX   0B SetAdminPassword        "abc"', f.read())


    def test_ports_lists_device_paths(self):
        rc, doc = cli_json("ports")
        self.assertEqual(rc, 0)
        self.assertTrue(all(p["port"].startswith("/dev/tty") for p in doc["ports"]), doc)


class ExitCodes(unittest.TestCase):
    def test_each_code_from_its_cause(self):
        silent, refusing, idle = Device(self, "--silent"), Device(self, "--status", "3=5"), Device(self)
        cases = [  # args, code, result word, text in the message
            (["-p", silent.link, "--timeout", "300", "show"], 3, "no_answer", "no answer within 300 ms"),
            (["-p", refusing.link, "set", "dhcp"], 1, "refused", "refused (status 5)"),
            (["-p", "/dev/qv-no-such-port", "show"], 4, "port_error", "missing: No such file or directory (errno 2)"),
            (["-p", "/dev/null", "show"], 4, "port_error", "refused the line settings"),
            (["-p", idle.link, "set", "static", "10.0.0.256", "255.0.0.0", "10.0.0.1"], 2, "bad_input", "IP"),
            (["-p", idle.link, "passwd", "九个汉字的密码太长了"], 2, "bad_input", "at most 16"),
            (["-p", idle.link, "passwd", "x" * 17], 2, "bad_input", "17 bytes"),
            (["-p", idle.link, "exec", "x" * 1001], 2, "bad_input", "at most 1000"),
            (["-p", idle.link, "exec", "ifconfig\r\nroute"], 2, "bad_input", "line break"),
            (["-p", idle.link, "exec", "ifconfig\rroute"], 2, "bad_input", "line break"),
            (["show"], 2, "bad_input", "no port"),
        ]
        for args, code, word, text in cases:
            rc, doc = cli_json(*args)
            self.assertEqual((rc, doc["exit_code"], doc["result"]), (code, code, word), args)
            self.assertIn(text, doc["error"])
        self.assertEqual(idle.frames("RX"), [])   # bad input: nothing was sent
        self.assertEqual(cli("set", "static", "1.2.3.4")[0], 2)   # usage error from the parser

    def test_help_and_readme_give_one_table(self):
        _, out, _ = cli("--help")
        helped = re.findall(r"^  (\d+) +(.+)$", out.split("Exit codes:\n")[1], re.M)
        with open(README, encoding="utf-8") as f:
            table = f.read().split("Exit codes, as `--help` lists them")[1].split("\n\n")[1]
        self.assertEqual(re.findall(r"^\| (\d+) \| (.+) \|$", table, re.M), helped)
        self.assertEqual([c for c, _ in helped], ["0", "0", "1", "2", "3", "4", "5", "6", "7", "70", "130"])
        self.assertEqual(cli_json("-p", "serial=QV-NONE", "show")[1]["result"], "port_error")

    def test_busy_port_names_the_reason(self):
        d = Device(self)
        with open(d.link, "rb") as held:
            fcntl.flock(held, fcntl.LOCK_EX)
            rc, out, err = cli("-p", d.link, "show")
        self.assertEqual(rc, 4)
        self.assertIn("busy", err)


class Faults(unittest.TestCase):
    def exec_lines(self, *faults):
        d = Device(self, *faults)
        rc, doc = cli_json("-p", d.link, "--timeout", "1500", "exec", "--quiet", "700", "ifconfig")
        return rc, doc.get("lines", []), d

    def test_fragments_and_bad_checksums_lose_only_the_corrupted_lines(self):
        rc, printed, d = self.exec_lines("--fragment", "--corrupt-every", "3")
        self.assertEqual(rc, 0)
        self.assertEqual(printed, d.sent_lines())
        every = d.sent_lines(damaged_too=True)
        self.assertEqual(len(every), 15)
        self.assertEqual(printed, [line for n, line in enumerate(every, 1) if n % 3 != 0])

    def test_noise_never_shows_up_as_output(self):
        # The receiver drops a frame that lands behind stray bytes; whatever
        # comes through is a whole, unaltered line, in order.
        rc, printed, d = self.exec_lines("--noise", "--seed", "3")
        self.assertEqual(rc, 0 if printed else 3)
        sent = d.sent_lines()
        it = iter(sent)
        self.assertTrue(all(line in it for line in printed), (printed, sent))


def frames_of(device, code):
    return [f for f in device.frames("RX") if f[2] == code]


class Provision(unittest.TestCase):
    def test_eight_ports_in_one_process_each_row_its_own_result(self):
        # The good devices take 100 ms before each reply, so that every row's
        # session is alive at once while /proc is sampled.
        good = [Device(self, "--delay", "100") for _ in range(4)]
        silent, refusing, ignoring, untouched = (Device(self, "--silent"), Device(self, "--status", "3=5"),
                                                 Device(self, "--ignore-changes"), Device(self))
        rows = [f"{d.link},static,10.0.0.{n},255.255.255.0,10.0.0.1,pw{n}" for n, d in enumerate(good, 11)]
        rows += [f"{silent.link},dhcp,,,,", f"{refusing.link},dhcp,,,,", f"{ignoring.link},dhcp,,,,",
                 f"{untouched.link},static,10.0.0.19,255.255.255.0,10.0.0.999,pw"]
        report = os.path.join(silent.dir, "report.json")
        p = subprocess.Popen([CLI, "--timeout", "1500", "provision", "--no-mac", "--jobs", "8", "--report", report,
                              sheet(silent.dir, "port,mode,ip,mask,gateway,password\n" + "\n".join(rows) + "\n")],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        children, threads = set(), 0
        while p.poll() is None:   # the rows are sessions of this process, not processes of their own
            for entry in os.listdir("/proc"):
                try:
                    with open(f"/proc/{entry}/stat") as f:
                        if entry.isdigit() and int(f.read().rsplit(")", 1)[1].split()[1]) == p.pid:
                            children.add(entry)
                    threads = max(threads, len(os.listdir(f"/proc/{p.pid}/task")))
                except (OSError, ValueError, IndexError):
                    pass
            time.sleep(0.02)
        out, _ = p.communicate()
        self.assertEqual((p.returncode, children), (3, set()))
        self.assertGreater(threads, 8)
        self.assertIn("line 9", out.decode())
        with open(report) as f:
            rows = json.load(f)["rows"]
        self.assertEqual([(r["line"], r["result"]) for r in rows],
                         [(2, "ok"), (3, "ok"), (4, "ok"), (5, "ok"), (6, "no_answer"), (7, "refused"),
                          (8, "verify_failed"), (9, "bad_input")])
        for n, (r, d) in enumerate(zip(rows, good), 11):   # each row's own device, read back
            self.assertEqual(r["read_back"]["ip"], f"10.0.0.{n}")
            self.assertEqual(frames_of(d, 0x0B)[0][6:10], f"pw{n}".encode())
        self.assertIn("field gateway", rows[7]["error"])
        self.assertEqual(untouched.frames("RX"), [])

    def test_sheets_as_spreadsheets_save_them(self):
        d = Device(self)
        header = "port,mode,ip,mask,gateway,password\n"
        for text, encoding in (("\ufeff" + header + f'{d.link},dhcp,,,,"密,码""1,2"\n', "utf-8"),
                               (header.replace(",", ";") + f'{d.link};dhcp;;;;"密,码""1;2"\n;;;;;\n', "gbk")):
            rc, out, err = cli("provision", sheet(d.dir, text, encoding))
            self.assertEqual(rc, 0, out + err)
        fields = [f[6:22] for f in frames_of(d, 0x0B)]
        self.assertEqual(fields, [f'密,码"1{c}2'.encode("gbk").ljust(16, b"\0") for c in ",;"])
        rc, out, err = cli("provision", sheet(d.dir, header.encode() + b"\xff\xfe,dhcp,,,,\n"))
        self.assertEqual(rc, 2)
        self.assertIn("line 2 is neither UTF-8 nor GBK", err)
        self.assertEqual(len(frames_of(d, 0x0B)), 2, "nothing was sent")

    def test_a_bad_sheet_names_its_line_and_field_and_nothing_is_sent(self):
        d = Device(self)
        header = "port,mode,ip,mask,gateway,password\n"
        cases = [  # the sheet, then what one line of the output must say
            (header + f"\n{d.link},static,10.0.0.1,255.0.0.0,10.0.0.{'1' * 5000},\n", "line 3", "field gateway: "),
            ((header.replace(",", ";") + f"{d.link};dhcp;;;;九个汉字的密码太长了\n").encode("gbk"), "line 2",
             "field password: 20 bytes in GBK, at most 16"),
            (header + f"{d.link},dhcp,,,,pass\0word\n", "line 2", "field password: holds a NUL byte"),
            (header + f'{d.link},dhcp,,,,"pa"ss\n', "line 2", "field password: text after its closing quote"),
            (header + f'{d.link},"dhcp,,,,\n', "line 2", "field mode: no closing quote"),
            (header + f"{d.link},dhcp,,,\n", "line 2", "expected 6 fields, found 5"),
            (f"\ufeff\r\nport;mode\r\n{d.link};dhcp\r\n", "line 2", "the header must be port,mode,ip"),
        ]
        for text, line, says in cases:
            rc, out, err = cli("provision", sheet(d.dir, text))
            self.assertEqual(rc, 2, says)
            self.assertRegex(out + err, rf"{line}\b[^\n]*{re.escape(says)}")
        self.assertEqual(d.line_opened_and_closed(), (0, 0), "nothing was sent")

    def test_ctrl_c_closes_every_port_and_reports_the_rows_that_finished(self):
        quick, slow = Device(self), [Device(self, "--delay", "1500") for _ in range(3)]
        rows = [f"{d.link},dhcp,,,," for d in [quick] + slow]
        report, log = os.path.join(quick.dir, "report.json"), os.path.join(quick.dir, "log")
        # Two at a time: the quick row ends, two slow rows are under way and
        # the last has not started when Ctrl+C comes.
        p = subprocess.Popen([CLI, "provision", "--no-mac", "--jobs", "2", "--report", report, "--log", log,
                              sheet(quick.dir, "port,mode,ip,mask,gateway,password\n" + "\n".join(rows) + "\n")],
                             stdout=subprocess.PIPE)
        while not all(d.frames("RX") for d in slow[:2]):
            time.sleep(0.05)
        time.sleep(0.3)
        p.send_signal(signal.SIGINT)
        self.assertEqual(p.wait(10), 130)
        p.stdout.close()
        with open(report) as f:
            self.assertEqual([r["result"] for r in json.load(f)["rows"]], ["ok"] + ["interrupted"] * 3)
        with open(log) as f:   # the finished row, and a line for each row Ctrl+C ended
            self.assertEqual(sorted((r["line"], r["result"]) for r in map(json.loads, f)),
                             [(2, "ok"), (3, "interrupted"), (4, "interrupted"), (5, "interrupted")])
        for d in [quick] + slow[:2]:
            opened, closed = d.line_opened_and_closed()
            self.assertEqual((opened, closed), (1, 1), d.link)
        self.assertEqual(slow[2].line_opened_and_closed(), (0, 0), "the row that never started")


    def test_log_keeps_a_whole_line_per_row_and_no_password(self):
        devices = [Device(self, "--delay", "30", "--mac", f"02:00:00:00:00:0{n}") for n in range(5)] + [Device(self, "--no-mac")]
        log = os.path.join(devices[0].dir, "log")
        with open(log, "w") as f:
            f.write("kept from an earlier run\n")
        runs, trace = [], os.path.join(devices[0].dir, "writes")
        for strace, half, mac in ((["strace", "-f", "-qq", "-e", "trace=write", "-s", "65536", "-o", trace], devices[:3], ["--no-mac"]),
                                  ([], devices[3:], [])):   # two runs appending to one file at once, one traced
            rows = [f"{d.link},static,10.0.1.{n},255.255.255.0,10.0.1.254,{CN_PASSWORD}{n}" for n, d in enumerate(half, 1 + 10 * len(runs))]
            runs.append(subprocess.Popen(strace + [CLI, "provision", "--log", log, "--operator", "王工", *mac,
                                                   sheet(half[0].dir, "port,mode,ip,mask,gateway,password\n" + "\n".join(rows) + "\n")],
                                         stdout=subprocess.DEVNULL))
        self.assertEqual([r.wait(30) for r in runs], [0, 0])
        with open(trace) as f:   # each line went out in one write, its line break with it
            writes = [l for l in f if "write(" in l and '\\"station\\"' in l and '\\"result\\"' in l]
        self.assertEqual(len(writes), 3)
        self.assertTrue(all('\\n", ' in w for w in writes), writes)
        with open(log, encoding="utf-8") as f:
            text = f.read()
        lines = text.splitlines()
        self.assertEqual(lines[0], "kept from an earlier run")
        records = [json.loads(l) for l in lines[1:]]   # every line whole
        claims = [r for r in records if "claimed_ip" in r]   # a claim before each unit was written
        records = [r for r in records if "claimed_ip" not in r]
        self.assertEqual(sorted(r["claimed_ip"] for r in claims), sorted(r["set"]["ip"] for r in records))
        self.assertEqual(len(records), 6)
        fields = {"time", "station", "operator", "version", "sheet", "line", "port", "selector", "adapter", "mac",
                  "set", "read_back", "password_changed", "result", "reason", "seconds", "exit_code"}
        for r in records:
            self.assertEqual(set(r) - {"mac_note"}, fields, r)
            self.assertEqual((r["operator"], r["result"], r["password_changed"], r["sheet"]), ("王工", "ok", True, "rows.csv"))
            self.assertRegex(r["time"], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$")
            stamped = datetime.datetime.strptime(r["time"], "%Y-%m-%dT%H:%M:%S.%fZ")
            self.assertLess(abs(datetime.datetime.utcnow() - stamped).total_seconds(), 120)
        self.assertNotIn(CN_PASSWORD, text)
        self.assertEqual(sorted(r["read_back"]["ip"] for r in records), sorted(f"10.0.1.{n}" for n in (1, 2, 3, 11, 12, 13)))
        macs = {r["read_back"]["ip"]: (r["mac"], r.get("mac_note")) for r in records if r["mac"] or "mac_note" in r}
        self.assertEqual(macs, {"10.0.1.11": ("02:00:00:00:00:03", None), "10.0.1.12": ("02:00:00:00:00:04", None),
                                "10.0.1.13": (None, "ifconfig shows no hardware address")})   # the second run's


HEADER = "port,mode,ip,mask,gateway,password\n"


def provision_json(directory, rows, *args):
    """provision --json over a sheet of `rows`; (exit code, rows of the report by line)."""
    rc, out, _ = cli("--json", "--timeout", "2000", "provision", *args, sheet(directory, HEADER + "\n".join(rows) + "\n"))
    return rc, {r["line"]: r for r in json.loads(out)["rows"]}


def log_records(path):
    with open(path, encoding="utf-8") as f:
        return [r for r in map(json.loads, f) if "claimed_ip" not in r]


class Addresses(unittest.TestCase):
    REFUSED = [  # ip, mask, gateway, field, rule
        ("10.0.0.5", "255.0.255.0", "10.0.0.1", "mask", "255.0.255.0 is not ones followed by zeros"),
        ("10.0.0.5", "0.0.0.0", "0.0.0.0", "mask", "0.0.0.0 leaves no network"),
        ("0.0.0.0", "255.255.255.0", "0.0.0.0", "ip", "0.0.0.0 is no address"),
        ("127.0.0.5", "255.0.0.0", "0.0.0.0", "ip", "loopback"),
        ("224.0.0.9", "255.255.255.0", "0.0.0.0", "ip", "multicast"),
        ("255.255.255.255", "255.255.255.0", "0.0.0.0", "ip", "255.255.255.255 is the broadcast address"),
        ("10.0.0.0", "255.255.255.0", "0.0.0.0", "ip", "network address of its subnet 10.0.0.0/255.255.255.0"),
        ("10.0.0.255", "255.255.255.0", "0.0.0.0", "ip", "broadcast address of its subnet"),
        ("10.0.0.5", "255.255.255.0", "10.0.1.1", "gateway", "10.0.1.1 is outside the IP's subnet"),
        ("10.0.0.5", "255.255.255.0", "10.0.0.5", "gateway", "10.0.0.5 is the IP itself"),
    ]

    def test_each_rule_names_line_and_field_and_nothing_is_sent(self):
        d = Device(self)
        for ip, mask, gateway, field, rule in self.REFUSED:
            rc, out, err = cli("provision", sheet(d.dir, HEADER + f"{d.link},static,{ip},{mask},{gateway},\n"))
            self.assertEqual(rc, 2, rule)
            self.assertRegex(out + err, rf"line 2\b[^\n]*field {field}: [^\n]*{re.escape(rule)}")
            rc, doc = cli_json("-p", d.link, "set", "static", ip, mask, gateway)
            self.assertEqual((rc, doc["result"]), (2, "bad_input"), rule)
            self.assertIn(f"field {field}: ", doc["error"])
            self.assertIn(rule, doc["error"])
        self.assertEqual(d.line_opened_and_closed(), (0, 0), "nothing was sent")
        self.assertIn("--allow-remote-gateway", cli("provision", "--help")[1])

    def test_usable_edges_pass(self):
        devices = [Device(self) for _ in range(3)]
        rows = [f"{devices[0].link},static,10.0.0.0,255.255.255.254,0.0.0.0,",   # a /31 has no network address
                f"{devices[1].link},static,10.0.0.7,255.255.255.255,0.0.0.0,",
                f"{devices[2].link},static,10.0.0.9,255.255.255.0,10.9.0.1,"]
        rc, rows = provision_json(devices[0].dir, rows, "--allow-remote-gateway")
        self.assertEqual((rc, [r["result"] for r in rows.values()]), (0, ["ok"] * 3))
        self.assertEqual(cli("-p", devices[2].link, "set", "static", "10.0.0.9", "255.255.255.0", "10.9.0.1")[0], 2)
        self.assertEqual(cli("-p", devices[2].link, "set", "--allow-remote-gateway", "static", "10.0.0.9",
                             "255.255.255.0", "10.9.0.1")[0], 0)

    def test_one_ip_or_one_port_on_two_rows_refuses_both(self):
        a, b, c = Device(self), Device(self), Device(self)
        rc, rows = provision_json(a.dir, [f"{a.link},static,10.0.0.5,255.255.255.0,0.0.0.0,",
                                          f"{b.link},static,10.0.0.5,255.255.255.0,0.0.0.0,",
                                          f"{c.link},dhcp,,,,", f"{c.link},dhcp,,,,"])
        self.assertEqual(rc, 2)
        self.assertEqual({n: r["error"] for n, r in rows.items()},
                         {2: "field ip: 10.0.0.5 also on line 3", 3: "field ip: 10.0.0.5 also on line 2",
                          4: f"field port: {c.link} also on line 5", 5: f"field port: {c.link} also on line 4"})
        for d in (a, b, c):
            self.assertEqual(d.line_opened_and_closed(), (0, 0), "nothing was sent")


def written(device):
    """The changes a unit was sent: SetNetConfig and SetAdminPassword."""
    return [f[2] for f in device.frames("RX") if f[2] in (0x03, 0x0B)]


class History(unittest.TestCase):
    def test_conflict_refused_then_reassigned_and_previous_ip_recorded(self):
        first, second = Device(self, "--mac", "02:00:00:00:0A:01"), Device(self, "--mac", "02:00:00:00:0B:02")
        macless, refusing = Device(self, "--no-mac"), Device(self, "--status", "3=5")
        log = os.path.join(first.dir, "log")
        row = lambda d, ip: f"{d.link},static,{ip},255.255.255.0,0.0.0.0,pw"
        cases = [  # unit, ip, options, exit code, result, written to it
            (first, "10.1.0.5", [], 0, "ok", True),
            (second, "10.1.0.5", [], 5, "conflict", False),
            (second, "10.1.0.5", ["--reassign"], 0, "ok", True),
            (first, "10.1.0.5", [], 5, "conflict", False),     # the address is the second unit's now
            (first, "10.1.0.6", [], 0, "ok", True),             # recorded with its former address
            (macless, "10.1.0.6", [], 5, "conflict", False),   # cannot show the address is its own
            (macless, "10.1.9.5", [], 0, "ok", True),           # nobody holds it, whatever its last byte
            (macless, "10.1.9.5", [], 5, "conflict", False),   # not even an address it was given
            (refusing, "10.1.0.7", [], 1, "refused", True),    # ended before its password step
        ]
        for unit, ip, options, code, result, changed in cases:
            before = len(written(unit))
            rc, rows = provision_json(first.dir, [row(unit, ip)], "--log", log, *options)
            self.assertEqual((rc, rows[2]["result"], len(written(unit)) > before), (code, result, changed), (ip, options))
        records = log_records(log)
        self.assertEqual([r["result"] for r in records], [c[4] for c in cases])
        self.assertIn("the log gives 10.1.0.5 to 02:00:00:00:0A:01 (recorded " + records[0]["time"], records[1]["reason"])
        self.assertIn("this unit is 02:00:00:00:0B:02", records[1]["reason"])
        self.assertEqual(records[2]["reassigned_from"], {"mac": "02:00:00:00:0A:01", "time": records[0]["time"]})
        self.assertEqual((records[4]["previous_ip"], "previous_ip" in records[0]), ("10.1.0.5", False))
        self.assertIn("MAC could not be read", records[5]["reason"])
        self.assertEqual([r["password_changed"] for r in records], [True, False, True, False, True, False, True, False, False])
        login = pwd.getpwuid(os.geteuid()).pw_name   # no --operator: the login name, never the host
        self.assertEqual({r["operator"] for r in records}, {login})
        self.assertTrue(login != socket.gethostname())

    def test_a_unit_that_holds_its_settings_is_unchanged_and_not_written(self):
        d = Device(self, "--mac", "02:00:00:00:0C:01")
        log = os.path.join(d.dir, "log")
        row = f"{d.link},static,10.2.0.5,255.255.0.0,10.2.0.1,{CN_PASSWORD}"
        runs = [(row, [], "ok", 2), (row, [], "unchanged", 0), (row, ["--force"], "ok", 2),
                (row.replace(CN_PASSWORD, "other"), [], "ok", 2), (row.replace(CN_PASSWORD, ""), [], "unchanged", 0)]
        for text, options, result, changes in runs:
            before = len(written(d))
            rc, report = provision_json(d.dir, [text], "--log", log, *options)
            self.assertEqual((rc, report[2]["result"], len(written(d)) - before), (0, result, changes), text)
        self.assertEqual([r["result"] for r in log_records(log)], [r[2] for r in runs])
        self.assertEqual(report[2]["read_back"]["ip"], "10.2.0.5")
        self.assertEqual(d.frames("RX")[0][2], 0x05, "the MAC is read before anything is written")

    def test_two_runs_at_once_on_one_log_never_give_one_ip_twice(self):
        units = [Device(self, "--delay", "40", "--mac", f"02:00:00:00:0D:0{n}") for n in range(4)]
        log = os.path.join(units[0].dir, "log")
        sheets = [(units[0], "10.3.0.5"), (units[1], "10.3.0.6"), (units[2], "10.3.0.5"), (units[3], "10.3.0.7")]
        runs = []
        for n in (0, 2):
            path = os.path.join(units[n].dir, "rows.csv")
            with open(path, "w") as f:
                f.write(HEADER + "".join(f"{d.link},static,{ip},255.255.255.0,0.0.0.0,\n" for d, ip in sheets[n:n + 2]))
            runs.append(subprocess.Popen([CLI, "--timeout", "3000", "provision", "--log", log, path],
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        self.assertEqual(sorted(r.wait(30) for r in runs), [0, 5])
        results = {r["mac"]: r["result"] for r in log_records(log)}
        self.assertEqual(sorted(results.values()), ["conflict", "ok", "ok", "ok"])
        self.assertEqual({results["02:00:00:00:0D:00"], results["02:00:00:00:0D:02"]}, {"ok", "conflict"})
        self.assertEqual(sorted(bool(written(units[n])) for n in (0, 2)), [False, True], "one unit only got 10.3.0.5")


class FullDisk(unittest.TestCase):
    def test_rows_in_flight_are_not_recorded_and_no_further_row_starts(self):
        units = [Device(self, "--delay", "500") for _ in range(4)]
        mount = tempfile.mkdtemp(prefix="qv-full-")
        self.addCleanup(os.rmdir, mount)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=256k", "tmpfs", mount], check=True)
        self.addCleanup(subprocess.run, ["umount", "-l", mount])
        log, report = os.path.join(mount, "log"), os.path.join(units[0].dir, "report.json")
        # The later rows are DHCP ones: no claim of an address would stop them.
        rows = "".join(f"{d.link},static,10.4.0.{n},255.255.255.0,0.0.0.0,\n" for n, d in enumerate(units[:2], 1))
        rows += "".join(f"{d.link},dhcp,,,,\n" for d in units[2:])
        p = subprocess.Popen([CLI, "provision", "--no-mac", "--jobs", "2", "--report", report, "--log", log,
                              sheet(units[0].dir, HEADER + rows)], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: p.poll() is None and p.kill())
        while not all(written(d) for d in units[:2]):   # both claims are on the disk, the units being written
            time.sleep(0.02)
        with open(log, "ab") as f:   # the disk fills up, the log's own last page too
            fcntl.flock(f, fcntl.LOCK_EX)
            with self.assertRaises(OSError):
                while True:
                    os.write(f.fileno(), b" " * 4095 + b"\n")
        out = p.communicate(timeout=30)[0].decode()
        self.assertEqual(p.returncode, 7)
        with open(report) as f:
            rows = json.load(f)["rows"]
        self.assertEqual([r["result"] for r in rows], ["not_recorded"] * 2 + ["log_failed"] * 2)
        self.assertIn("No space left on device", rows[0]["error"])
        self.assertEqual([bool(written(d)) for d in units], [True, True, False, False], "no further row started")
        self.assertIn(f"changed but not recorded in the log: line 2 {units[0].link}", out)


class VirtualDevice(unittest.TestCase):
    def test_mac_given_or_its_own(self):
        given, a, b = (Device(self, "--mac", "0a:1b:2c:3d:4e:5f"), Device(self, "--ip", "10.5.0.1"),
                       Device(self, "--ip", "10.5.0.1"))
        macs = [cli_json("-p", d.link, "exec", "--quiet", "300", "ifconfig")[1]["lines"][0].split("HWaddr ")[1]
                for d in (given, a, b)]
        self.assertEqual(macs[0], "0A:1B:2C:3D:4E:5F")
        self.assertNotEqual(macs[1], macs[2], "one IP, two units")
        bad = subprocess.run([DEVICE, "--mac", "0a:1b:2c:3d:4e"], capture_output=True)
        self.assertEqual(bad.returncode, 2)


class Probe(unittest.TestCase):
    def test_answering_silent_held_and_missing_in_one_run_then_all_closed(self):
        fixed, dhcp, silent, mute, held = (Device(self, "--ip", "10.1.1.1"), Device(self, "--dhcp", "on"),
                                           Device(self, "--silent"), Device(self, "--silent"), Device(self))
        missing = "/dev/qv-no-such-port"
        named = [a for d in (fixed, dhcp, silent, mute, held) for a in ("-p", d.link)] + ["-p", missing]
        with open(held.link, "rb") as h:
            fcntl.flock(h, fcntl.LOCK_EX)
            started = time.monotonic()
            rc, doc = cli_json("--timeout", "1000", "ports", "--probe", *named)
            took = time.monotonic() - started
        seen = {p["port"]: (p["result"], p.get("ip"), p.get("dhcp")) for p in doc["ports"]}
        self.assertEqual((rc, seen), (0, {fixed.link: ("answering", "10.1.1.1", False), dhcp.link: ("answering", None, True),
                                          silent.link: ("silent", None, None), mute.link: ("silent", None, None),
                                          held.link: ("held", None, None), missing: ("failed", None, None)}))
        self.assertIn("missing", doc["ports"][5]["reason"])
        self.assertLess(took, 1.7, "the ports are probed at once")
        for d in (fixed, dhcp, silent, mute):
            self.assertEqual(d.line_opened_and_closed(), (1, 1), d.link)
        rc, doc = cli_json("ports", "--probe", "-p", fixed.link, "-p", held.link)
        self.assertEqual([p["result"] for p in doc["ports"]], ["answering", "answering"])


class Texts(unittest.TestCase):
    def test_passwd_from_stdin_and_from_a_prompt_sends_what_the_argument_sends(self):
        d = Device(self)
        rc, _, err = cli("-p", d.link, "passwd", "密码12")
        self.assertEqual(rc, 0)
        self.assertIn("process list", err)
        p = subprocess.run([CLI, "-p", d.link, "passwd"], input="密码12\r\n".encode("gbk"), capture_output=True)
        self.assertEqual((p.returncode, p.stderr), (0, b""))
        pid, fd = pty.fork()
        if pid == 0:
            os.execv(CLI, [CLI, "-p", d.link, "passwd"])
        typed = b""
        for prompt in (b"new password", b"again"):
            while prompt not in typed:
                self.assertTrue(select.select([fd], [], [], 10)[0], "no prompt within 10 s")
                typed += os.read(fd, 1024)
            os.write(fd, "密码12\n".encode())
        self.assertNotIn("密码12".encode(), typed, "typed without echo")
        self.assertEqual(os.waitpid(pid, 0)[1], 0)
        os.close(fd)
        fields = [f[6:22] for f in frames_of(d, 0x0B)]
        self.assertEqual(len(fields), 3)
        self.assertEqual(set(fields), {"密码12".encode("gbk").ljust(16, b"\0")})

    def test_device_text_that_is_not_gbk_is_shown_escaped(self):
        d = Device(self, "--password", b"ab\x80\xffcd")
        rc, doc = cli_json("-p", d.link, "show", "--show-password")
        self.assertEqual(doc["password"], "ab\\x80\\xFFcd")


class Watch(unittest.TestCase):
    def test_link_changes_are_printed_until_interrupted(self):
        # Heartbeats are never answered: connected on the password reply,
        # not connected ten ticks later, connected again after reopening.
        d = Device(self, "--heartbeat-stop-after", "0")
        p = subprocess.Popen([CLI, "-p", d.link, "--json", "watch"], stdout=subprocess.PIPE)
        self.addCleanup(p.stdout.close)
        self.addCleanup(lambda: p.poll() is None and p.kill())
        states = [json.loads(p.stdout.readline())["state"] for _ in range(3)]
        p.send_signal(signal.SIGINT)
        self.assertEqual(p.wait(10), 0)
        self.assertEqual(states, ["connected", "not connected", "connected"])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
