#!/usr/bin/env python3
"""The soak's judge of link losses: was each one the device's doing?

    soak_judge.py LOSSES FRAMES_LOG STOPS   judge every loss; exit 1 if one is unexplained
    soak_judge.py --self-check              the rules against made-up logs

LOSSES has a line "<ms> <s>" per link loss quorvane-driver.exe saw (wall
clock, and seconds into the soak); FRAMES_LOG is the device's --frames-log
written with --wall-clock; STOPS has "<ms> stopped" and "<ms> continued"
lines for each time the soak stopped the device. All three count
milliseconds of the same wall clock.

quorvane.exe sends a heartbeat every third tick (one a second) and drops
the link ten ticks after the last reply it accepted. That reply armed the
countdown somewhere in the first of those ten ticks, so every heartbeat
reply the device sent in the last nine ticks before the loss must have
been lost. A loss is explained when each of those was spoilt by the device:
noise sent in front of it, its checksum corrupted, sent only after the
loss, cut off by a stop of the device, or sent right behind a noise-hit
reply (the receiver throws away what it holds when noise comes, so the
tail of that reply takes the next one with it, and so on while replies
follow closely). Three heartbeats fall in nine ticks (one the device read
late, busy with a long answer, among them), so fewer of them, while the
device was not stopped, leave the loss unexplained too.
"""
import sys
import time

TICK_MS = 1000
JUDGED_MS = 9 * TICK_MS - 200   # the last nine ticks, less some jitter of the timer
SHOWN_MS = 10 * TICK_MS + 500   # the ten ticks, with the reply that armed the countdown
# A heartbeat sent before the loss may reach a device busy with a long answer
# a second or two after it; the next opening sends its first three ticks on.
LATE_RX_MS = 2500
BEATS_IN_WINDOW = 3
PIECE_MS = 3                    # the device's longest pause between pieces, per byte
HOLD_MS = 100                   # the receiver holds a started frame 50 ms; the rest is slack
STOP_CUT_MS = 100               # a reply this close before a stop may not have gone out whole


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


def heartbeats(frames):
    """Each heartbeat the device received, with its reply and how the device
    spoilt that reply: {rx, tx (None: no reply), noise, corrupt, behind}."""
    beats, replies = [], []
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
            if beats and beats[-1]["tx"] is None and beats[-1]["open"] and len(data) > 2 and data[2] == 0x08:
                beats[-1].update(reply)
        elif tag == "RX":
            if beats:
                beats[-1]["open"] = False
            if len(data) > 2 and data[2] == 0x07:
                beats.append({"rx": ms, "tx": None, "open": True})
    return beats


def clock(ms):
    return time.strftime("%H:%M:%S", time.localtime(ms / 1000)) + ".%03d" % (ms % 1000)


def spoilt(beat, loss, stops):
    """How the device spoilt the reply, or None when it went out intact."""
    tx = beat["tx"]
    if tx is None:
        return None
    if tx >= loss:
        return "sent only after the loss"
    if beat["noise"]:
        return "noise in front"
    if beat["corrupt"]:
        return "checksum corrupted"
    if beat["behind"] is not None:
        return "right behind a noise-hit reply (%s), same burst" % clock(beat["behind"])
    for start, _ in stops:
        if 0 <= start - tx <= STOP_CUT_MS:
            return "cut off by a stop of the device"
    return None


def judge(loss, beats, stops):
    """(explained, report lines) for one loss."""
    lines, explained, judged = [], True, 0
    stopped = [(a, b) for a, b in stops if a <= loss and b > loss - JUDGED_MS]
    for beat in beats:
        at = beat["tx"] if beat["tx"] is not None else beat["rx"]
        if beat["rx"] > loss + LATE_RX_MS or at <= loss - SHOWN_MS:
            continue
        how = spoilt(beat, loss, stops)
        if at <= loss - JUDGED_MS:
            lines.append("  %s  %s" % (clock(at), "intact: it armed the countdown, or one before it did"
                                       if how is None else how + ", before the last nine ticks"))
            continue
        judged += 1
        if how is None:
            explained = False
            how = "no reply sent" if beat["tx"] is None else "INTACT: should have kept the link"
        lines.append("  %s  %s" % (clock(at), how))
    for a, b in stopped:
        until = clock(b) if b != float("inf") else "the end"
        lines.append("  device stopped %s to %s: heartbeats due then not answered" % (clock(a), until))
    if not stopped and judged < BEATS_IN_WINDOW:
        explained = False
        lines.append("  only %d heartbeat(s) reached the running device in the last nine ticks; %d are sent"
                     % (judged, BEATS_IN_WINDOW))
    return explained, lines


def run(losses_path, frames_path, stops_path):
    with open(losses_path) as f:
        losses = [(int(l.split()[0]), l.split()[1]) for l in f if l.strip()]
    with open(frames_path) as f:
        beats = heartbeats(read_frames(f))
    try:
        with open(stops_path) as f:
            stops = read_stops(f)
    except FileNotFoundError:
        stops = []
    unexplained = 0
    for ms, seconds in losses:
        ok, lines = judge(ms, beats, stops)
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
        """Events (ms, what): 'beat', 'noise', 'corrupt', 'echo-noise' or 'echo-corrupt'."""
        out = []
        for ms, what in events:
            if what.startswith("echo"):
                out += ["%d RX 55 AA 05" % ms] + (["%d TXN 01 02" % (ms + 20)] if what == "echo-noise" else [])
                out += ["%d TX %s" % (ms + 25, echo_tx)] + (["%d TXC %s" % (ms + 25, echo_tx)] if what == "echo-corrupt" else [])
                continue
            out += ["%d RX %s" % (ms, beat_rx)] + (["%d TXN 03" % (ms + 20)] if what == "noise" else [])
            out += ["%d TX %s" % (ms + 25, beat_tx)] + (["%d TXC %s" % (ms + 25, beat_tx[:-1] + "5")] if what == "corrupt" else [])
        return read_frames(out)

    armed = (loss - 9960, "beat")
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
    ]
    failed = 0
    for name, want, frames, stops in cases:
        got, lines = judge(loss, heartbeats(frames), stops)
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
