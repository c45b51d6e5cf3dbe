#!/usr/bin/env python3
"""The soak's judge of link losses: was each one the device's doing?

    soak_judge.py LOSSES FRAMES_LOG STOPS   judge every loss; exit 1 if one is unexplained
    soak_judge.py --self-check              the rules against made-up logs

LOSSES has a line "<ms> <s>" per link loss quorvane-driver.exe saw (wall
clock, and seconds into the soak); FRAMES_LOG is the device's --frames-log
written with --wall-clock; STOPS has "<ms> stopped" and "<ms> continued"
lines for each time the soak stopped the device. All three count
milliseconds of the same wall clock.

quorvane.exe sends a heartbeat every third tick (a tick a second) and drops
the link on the tenth tick after the last reply it accepted (a heartbeat
reply, or the password reply of an opening). The judge finds that reply in
the device's log: the last intact one of the same opening (an opening starts
with the network settings request, the program's first) that had come whole
before the loss. Every heartbeat the device received after it, up to the next
opening, must have had its reply spoilt by the device: noise sent in front of
it, its checksum corrupted, sent only as the link was lost or after, cut off
by a stop of the device, or sent right behind a noise-hit reply (the receiver
throws away what it holds when noise comes, so the tail of that reply takes
the next one with it, and so on while replies follow closely). Ten ticks hold
at least three heartbeats, so fewer of them, while the device was not
stopped, leave the loss unexplained, and so does a loss sooner than ten ticks
after the reply that armed the countdown. Judged this way, by the order of
the log and not by a window of wall-clock time, a tick that came late (the
program busy) or a heartbeat the device read late (busy with a long answer)
changes nothing in the verdict.
"""
import sys
import time

TICK_MS = 1000
# The countdown runs out on the tenth tick after the arming reply came, so at
# least nine tick periods later (less some jitter of the timer).
SOONEST_LOSS_MS = 9 * TICK_MS - 200
BEATS_IN_TEN_TICKS = 3
# The driver notes a loss when it next reads the status line, up to 0.1 s
# after the tick, and reading it takes a moment: a reply whose last piece came
# this close before the noted loss may have come after the tick.
WATCH_MS = 150
PIECE_MS = 3                    # the device's longest pause between pieces, per byte
HOLD_MS = 100                   # the receiver holds a started frame 50 ms; the rest is slack
STOP_CUT_MS = 100               # a reply this close before a stop may not have gone out whole
# Requests that mark an opening, that arm the countdown, and heartbeats.
OPENING, PASSWORD, HEARTBEAT = 0x01, 0x09, 0x07


def read_frames(lines):
    """(ms, tag, bytes) per line of a frames log."""
    out = []
    for line in lines:
        f = line.split()
        if len(f) >= 2 and f[0].isdigit():
            out.append((int(f[0]), f[1], bytes.fromhex("".join(f[2:]))))
    return out


def read_stops(lines):
    """[(from, to)]; a stop without its end lasts for ever."""
    stops = []
    for line in lines:
        f = line.split()
        if len(f) == 2 and f[1] == "stopped":
            stops.append([int(f[0]), float("inf")])
        elif len(f) == 2 and f[1] == "continued" and stops:
            stops[-1][1] = int(f[0])
    return [tuple(s) for s in stops]


def exchanges(frames):
    """Each opening, heartbeat and password request the device received, in
    order, with its reply and how the device spoilt that reply:
    {code, rx, tx (None: no reply), size, noise, corrupt, behind}."""
    out, replies = [], []
    for i, (ms, tag, data) in enumerate(frames):
        if tag == "TX":
            noise = i > 0 and frames[i - 1][1] == "TXN"
            corrupt = i + 1 < len(frames) and frames[i + 1][1] == "TXC"
            hit = None
            if replies:
                p = replies[-1]
                origin = p["tx"] if p["noise"] else p["behind"]   # the noise-hit reply of its burst
                if origin is not None and ms - p["tx"] <= PIECE_MS * p["size"] + HOLD_MS:
                    hit = origin
            reply = {"tx": ms, "size": len(data), "noise": noise, "corrupt": corrupt, "behind": hit}
            replies.append(reply)
            if out and out[-1]["tx"] is None and out[-1]["open"] and len(data) > 2 and data[2] == out[-1]["code"] + 1:
                out[-1].update(reply)
        elif tag == "RX":
            if out:
                out[-1]["open"] = False
            if len(data) > 2 and data[2] in (OPENING, PASSWORD, HEARTBEAT):
                out.append({"code": data[2], "rx": ms, "tx": None, "open": True})
    return out


def clock(ms):
    return time.strftime("%H:%M:%S", time.localtime(ms / 1000)) + ".%03d" % (ms % 1000)


def came_whole_before(e, loss):
    return e["tx"] is not None and e["tx"] + PIECE_MS * e["size"] <= loss - WATCH_MS


def spoilt(e, loss, stops):
    """How the device spoilt the reply, or None when it went out intact."""
    tx = e["tx"]
    if tx is None:
        return None
    if not came_whole_before(e, loss):
        return "sent only as the link was lost or after"
    if e["noise"]:
        return "noise in front"
    if e["corrupt"]:
        return "checksum corrupted"
    if e["behind"] is not None:
        return "right behind a noise-hit reply (%s), same burst" % clock(e["behind"])
    for start, _ in stops:
        if 0 <= start - tx <= STOP_CUT_MS:
            return "cut off by a stop of the device"
    return None


def opening_of(loss, log):
    """The requests of the opening the loss ended: from its first request,
    sent at least a tick before the loss, to the next opening's."""
    first = max((i for i, e in enumerate(log) if e["code"] == OPENING and e["rx"] <= loss - TICK_MS), default=None)
    if first is None:
        return []
    last = next((i for i in range(first + 1, len(log)) if log[i]["code"] == OPENING), len(log))
    return log[first:last]


def judge(loss, log, stops):
    """(explained, report lines) for one loss."""
    opening = opening_of(loss, log)
    armed = max((i for i, e in enumerate(opening) if e["code"] in (HEARTBEAT, PASSWORD)
                 and came_whole_before(e, loss) and spoilt(e, loss, stops) is None), default=None)
    if armed is None:
        return False, ["  no intact reply armed the countdown in this opening"]
    arming = opening[armed]
    lines, explained = [], True
    early = loss - arming["tx"] < SOONEST_LOSS_MS
    lines.append("  %s  intact %s reply: it armed the countdown, %.1f s before the loss%s"
                 % (clock(arming["tx"]), "heartbeat" if arming["code"] == HEARTBEAT else "password",
                    (loss - arming["tx"]) / 1000, ", SOONER THAN TEN TICKS" if early else ""))
    if early:
        explained = False
    beats = [e for e in opening[armed + 1:] if e["code"] == HEARTBEAT]
    for beat in beats:
        how = spoilt(beat, loss, stops)
        if how is None:
            explained = False
            how = "no reply sent" if beat["tx"] is None else "INTACT: should have kept the link"
        lines.append("  %s  %s" % (clock(beat["tx"] if beat["tx"] is not None else beat["rx"]), how))
    stopped = [(a, b) for a, b in stops if a <= loss and b > arming["tx"]]
    for a, b in stopped:
        until = clock(b) if b != float("inf") else "the end"
        lines.append("  device stopped %s to %s: heartbeats due then not answered" % (clock(a), until))
    if not stopped and len(beats) < BEATS_IN_TEN_TICKS:
        explained = False
        lines.append("  only %d heartbeat(s) reached the running device after the arming reply; ten ticks hold %d"
                     % (len(beats), BEATS_IN_TEN_TICKS))
    return explained, lines


def run(losses_path, frames_path, stops_path):
    with open(losses_path) as f:
        losses = [(int(l.split()[0]), l.split()[1]) for l in f if l.strip()]
    with open(frames_path) as f:
        log = exchanges(read_frames(f))
    try:
        with open(stops_path) as f:
            stops = read_stops(f)
    except FileNotFoundError:
        stops = []
    unexplained = 0
    for ms, seconds in losses:
        ok, lines = judge(ms, log, stops)
        unexplained += 0 if ok else 1
        print("judge: link lost at %s (%s s): %s" % (clock(ms), seconds, "explained" if ok else "UNEXPLAINED"))
        print("\n".join(lines))
    print("judge: %d link losses, %d explained, %d unexplained"
          % (len(losses), len(losses) - unexplained, unexplained))
    return 1 if unexplained else 0


def self_check():
    """Made-up logs around a loss at 100 s, each with the verdict it must get."""
    beat_rx, beat_tx = "55 AA 07 00 00 02 00 03 6D E0", "55 AA 08 00 00 01 00 51 C4"
    echo_tx = "55 AA 06 00 00 05 00 61 62 63 00 12 34"
    loss = 100000

    def log(*events):
        """Events (ms, what): 'open' (an opening's first request), 'password', 'beat', 'noise',
        'corrupt', 'echo-noise' or 'echo-corrupt'; every log starts with an opening a minute before."""
        out = []
        for ms, what in ((loss - 60000, "open"),) + events:
            if what in ("open", "password"):
                code = OPENING if what == "open" else PASSWORD
                out += ["%d RX 55 AA %02X 00" % (ms, code), "%d TX 55 AA %02X 00 00 00" % (ms + 25, code + 1)]
                continue
            if what.startswith("echo"):
                out += ["%d RX 55 AA 05" % ms] + (["%d TXN 01 02" % (ms + 20)] if what == "echo-noise" else [])
                out += ["%d TX %s" % (ms + 25, echo_tx)] + (["%d TXC %s" % (ms + 25, echo_tx)] if what == "echo-corrupt" else [])
                continue
            out += ["%d RX %s" % (ms, beat_rx)] + (["%d TXN 03" % (ms + 20)] if what == "noise" else [])
            out += ["%d TX %s" % (ms + 25, beat_tx)] + (["%d TXC %s" % (ms + 25, beat_tx[:-1] + "5")] if what == "corrupt" else [])
        return read_frames(out)

    armed = (loss - 9960, "beat")
    spoilt3 = ((loss - 6960, "noise"), (loss - 3960, "corrupt"), (loss - 960, "noise"))
    cases = [
        ("noise, corruption and a burst", True, log(armed, (loss - 6960, "noise"), (loss - 3960, "corrupt"),
                                                   (loss - 1000, "echo-noise"), (loss - 970, "beat")), []),
        ("one reply intact", False, log(armed, (loss - 6960, "noise"), (loss - 3960, "corrupt"), (loss - 960, "beat")), []),
        ("behind a corrupted, not a noise-hit, reply", False,
         log(armed, (loss - 6960, "noise"), (loss - 3960, "noise"), (loss - 1000, "echo-corrupt"), (loss - 970, "beat")), []),
        ("a burst with a gap", False,
         log(armed, (loss - 6960, "noise"), (loss - 3960, "noise"), (loss - 1500, "echo-noise"), (loss - 960, "beat")), []),
        ("the device stopped", True, log(armed), [(loss - 9000, loss + 5000)]),
        ("the same stop unrecorded", False, log(armed), []),
        ("a stop that ended before", False, log(armed), [(loss - 30000, loss - 15000)]),
        ("a heartbeat missing", False, log(armed, (loss - 6960, "noise"), (loss - 960, "noise")), []),
        ("the last read late by a busy device", True,
         log(armed, (loss - 6960, "noise"), (loss - 3960, "corrupt"), (loss + 900, "beat")), []),
        ("an intact reply as the loss was noted", True, log(armed, *spoilt3, (loss - 60, "beat")), []),
        ("slow ticks: three spoilt heartbeats over twelve seconds", True,
         log((loss - 12000, "beat"), (loss - 9000, "noise"), (loss - 6000, "noise"), (loss - 2000, "corrupt")), []),
        ("a loss sooner than ten ticks", False, log((loss - 6000, "beat"), (loss - 5000, "noise"),
                                                  (loss - 3000, "noise"), (loss - 1000, "corrupt")), []),
        ("armed by the password reply of an opening", True,
         log((loss - 15000, "beat"), (loss - 10300, "open"), (loss - 10250, "password"), *spoilt3), []),
        ("a heartbeat missing after an opening", False,
         log((loss - 15000, "beat"), (loss - 10300, "open"), (loss - 10250, "password"), *spoilt3[1:]), []),
        ("read after the next opening", False,
         log(armed, *spoilt3[:2], (loss + 500, "open"), (loss + 600, "noise")), []),
    ]
    failed = 0
    for name, want, frames, stops in cases:
        got, lines = judge(loss, exchanges(frames), stops)
        if got != want:
            failed += 1
            print("self-check FAILED: %s: %s, should be %s\n%s" % (name, got, want, "\n".join(lines)))
    print("self-check: %d of %d cases right" % (len(cases) - failed, len(cases)))
    return 1 if failed else 0


if __name__ == "__main__":
    if sys.argv[1:] == ["--self-check"]:
        sys.exit(self_check())
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    sys.exit(run(*sys.argv[1:]))
