#!/usr/bin/python3
"""The line-speed figures of `make bench`, from the files of its runs:
quorvane-cli's traces (--trace, one file a row: "opened" and "closed" notes
and a line per frame) and the devices' frames logs (the bytes of each frame).

    line_figures.py one DEVICE_FRAMES_LOG TRACE...
        one device's row, one trace a run: the bytes of every frame the row
        exchanged, both ways, times 86.8 µs against the time from the port's
        opening to its closing, and the ratio
    line_figures.py rack BEST,MEDIAN RUN_DIR...
        each RUN_DIR holds the traces of one provision of a rack: the time
        from the first port's opening to the last one's closing, against
        one device's row (its best and median time, in ms, as `one` printed
        them on its last line, ONE_ROW_MS=BEST,MEDIAN)

Each figure is given as the best of the runs, as the rest of `make bench`
gives its figures (on a shared machine the others' work only adds), and as
their median.

Each trace TRACE.lineN has its run's report beside it, TRACE.json: a run
with a row that failed is named, with the row's reason, and left out of the
figures. A figure that cannot be (a row faster than its bytes on the wire,
frames that do not add up, fewer than three runs that worked) is a fault of
the bench, not a result: it is reported and the exit code is 1."""
import glob, json, os, re, statistics, sys

BYTE_MS = 10 / 115.2           # 115200 baud, 8N1: ten bits a byte
GOAL_ONE, GOAL_RACK = 1.15, 1.3


def fault(text):
    print(f"line_figures.py: bench fault: {text}", file=sys.stderr)
    sys.exit(1)


def ms_of(stamp):
    h, m, s = stamp.split(":")
    return (int(h) * 3600 + int(m) * 60) * 1000 + round(float(s) * 1000)


def read_trace(path):
    """(opened ms, closed ms, frames sent, frames received)."""
    opened = closed = None
    sent = received = 0
    with open(path, encoding="utf-8") as f:
        for line in f:
            stamp, tag, text = line[:12], line[14:17].strip(), line[19:]
            if tag == "--" and text.startswith("opened "):
                opened = ms_of(stamp)
            elif tag == "--" and text.startswith("closed"):
                closed = ms_of(stamp)
            sent += tag == "TX"
            received += tag in ("RX", "RX!")
    if opened is None or closed is None:
        fault(f"{path} has no opening or no closing")
    if closed < opened:   # past midnight
        closed += 86400 * 1000
    return opened, closed, sent, received


def failed(trace):
    """Whether the run of `trace` had a row that failed; each such row is named."""
    report = re.sub(r"\.line\d+$", "", trace) + ".json"
    bad = [r for r in json.load(open(report, encoding="utf-8"))["rows"] if r["result"] != "ok"]
    for r in bad:
        print(f"  {os.sep.join(report.split(os.sep)[-2:])}: line {r['line']}: {r['result']}: {r['error']} (run left out)")
    return bool(bad)


def enough(runs, what):
    if len(runs) < 3:
        fault(f"only {len(runs)} runs of {what} worked")


def device_runs(path):
    """The frames log cut at each OPEN: per run, the requests' and the
    replies' sizes in bytes, in order."""
    runs = []
    with open(path) as f:
        for line in f:
            fields = line.split()
            if fields[1] == "OPEN":
                runs.append(([], []))
            elif runs and fields[1] in ("RX", "TX"):
                runs[-1][fields[1] == "TX"].append(len(fields) - 2)
    return runs


def one(log, traces):
    runs = device_runs(log)
    if len(runs) != len(traces):
        fault(f"{log} shows {len(runs)} openings for {len(traces)} runs")
    rows = []
    for (requests, replies), trace in zip(runs, traces):
        opened, closed, sent, received = read_trace(trace)
        if failed(trace):
            continue
        if sent != len(requests) or received > len(replies):
            fault(f"{trace}: {sent} requests and {received} replies, the device took {len(requests)} "
                  f"and sent {len(replies)}")
        rows.append((closed - opened, sum(requests) + sum(replies[:received])))
    enough(rows, "one device")
    # The traces count whole milliseconds: a row may read up to 1 ms short,
    # and is then taken as its wire time; any shorter is a fault. A row whose
    # closing came late may have taken in a further line of ifconfig: each
    # run is set against its own bytes.
    ratios = []
    for took, wire_bytes in rows:
        wire = wire_bytes * BYTE_MS
        if took < wire - 1:
            fault(f"a row took {took} ms, less than its {wire:.1f} ms on the wire: the device is not at "
                  f"line speed, or frames were missed")
        ratios.append((max(took, wire) / wire, took, wire_bytes))
    best, median = min(ratios), statistics.median(r for r, _, _ in ratios)
    times = [t for t, _ in rows]
    print(f"  one device: the row, port opened to closed, at best {best[1]} ms for {best[2]} bytes on the wire "
          f"both ways ({best[2] * BYTE_MS:.1f} ms): {best[0]:.2f}x the wire time; median of {len(ratios)} runs "
          f"{median:.2f}x, {statistics.median(times):.0f} ms (goal {GOAL_ONE}x)")
    print(f"ONE_ROW_MS={min(max(t, b * BYTE_MS) for t, b in rows):.1f},{statistics.median(times):.1f}")


def rack(one_row, run_dirs):
    times = []
    for d in run_dirs:
        traces = sorted(glob.glob(os.path.join(d, "trace.line*")))
        if not traces:
            fault(f"no traces in {d}")
        spans = [read_trace(t)[:2] for t in traces]
        if not failed(traces[0]):
            times.append(max(c for _, c in spans) - min(o for o, _ in spans))
    enough(times, "the rack")
    rows = len(spans)
    best, median = min(times), statistics.median(times)
    if best < one_row[0] - 1:
        fault(f"{rows} devices took {best} ms, less than one device's {one_row[0]} ms")
    print(f"  {rows} devices at once, first port opened to last closed: best {best} ms, median {median:.0f} ms "
          f"of {len(times)} runs: {best / one_row[0]:.2f}x one device's best row (median {median / one_row[1]:.2f}x "
          f"one device's median; goal {GOAL_RACK}x)")


if __name__ == "__main__":
    if len(sys.argv) >= 4 and sys.argv[1] == "one":
        one(sys.argv[2], sys.argv[3:])
    elif len(sys.argv) >= 4 and sys.argv[1] == "rack":
        rack([float(v) for v in sys.argv[2].split(",")], sys.argv[3:])
    else:
        sys.exit(__doc__)
