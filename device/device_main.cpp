// quorvane-device: a stand-in for the networked device at the far end of the
// technician's serial cable, with a protocol trace and fault modes.
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "wire/frame_codec.h"
#include "device/answer.h"
#include "device/runtime.h"
#include "device/trace.h"

namespace {

constexpr int PollStepMs = 50;

// A signal handler reaches nothing but a global: the one flag it sets.
volatile sig_atomic_t stopSignal = 0;

void OnStopSignal(int signal) { stopSignal = signal; }

void InstallSignals()
{
    struct sigaction sa{};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

// The receive side's sink: every frame and every run of stray bytes, with
// the device's runtime as its context.
void OnReceived(void* context, RxKind kind, const uint8_t* bytes, uint32_t count)
{
    Runtime& rt = *static_cast<Runtime*>(context);
    char text[TraceLineSize];
    DescribeReceived(kind, bytes, count, text, sizeof text);
    const bool frame = kind == RxKind::Frame || kind == RxKind::BadChecksum;
    LogFrame(rt, frame ? "RX" : "RX?", bytes, count);
    Trace(rt, kind == RxKind::Frame ? "RX" : frame ? "RX!" : "RX?", text);
    if (kind != RxKind::Frame)
        return;
    const Unanswered why = AnswerRequest(rt.options.state, rt.options.faults, ElapsedMs(rt),
                                         bytes, count, TransmitReply, &rt);
    if (why != Unanswered::No)
        Trace(rt, "--", UnansweredReason(why));
}

struct FaultMode {
    const char* name;
    bool on;
};

// Every fault mode once, with whether it is on: the start line names those
// that are.
std::array<FaultMode, 10> FaultModes(const DeviceOptions& o)
{
    bool statusForced = false;
    for (int16_t v : o.faults.status)
        statusForced = statusForced || v != NoStatusOverride;
    return {{{"silent", o.faults.silent},
             {"only-netconfig", o.faults.onlyNetConfig},
             {"ignore-changes", o.faults.ignoreChanges},
             {"heartbeat-stop", o.faults.heartbeatStopMs >= 0},
             {"delay", o.delayMs != 0},
             {"corrupt", o.corruptEvery != 0},
             {"noise", o.noise},
             {"fragment", o.fragment},
             {"hangup", o.hangupMs >= 0},
             {"status", statusForced}}};
}

void TraceFaults(Runtime& rt)
{
    std::string text = "faults:";
    bool any = false;
    for (const FaultMode& mode : FaultModes(rt.options)) {
        if (mode.on)
            text += std::string(" ") + mode.name;
        any = any || mode.on;
    }
    text += " (seed " + std::to_string(rt.options.seed) + ")";
    if (any)
        Trace(rt, "--", text.c_str());
}

void TraceStart(Runtime& rt)
{
    const DeviceState& s = rt.options.state;
    char ip[16], mask[16], gw[16], pw[256], text[1024];
    FormatDotted(s.ipAddress, ip, sizeof ip);
    FormatDotted(s.subnetMask, mask, sizeof mask);
    FormatDotted(s.gateway, gw, sizeof gw);
    FormatText(reinterpret_cast<const uint8_t*>(s.password),
               static_cast<uint32_t>(std::strlen(s.password)), pw, sizeof pw);
    std::snprintf(text, sizeof text, "serving %s  dhcp %s  ip %s  mask %s  gateway %s  password %s",
                  rt.line.clientPath, s.dhcp ? "on" : "off", ip, mask, gw, pw);
    Trace(rt, "--", text);
    TraceFaults(rt);
    if (rt.options.lineSpeed)
        Trace(rt, "--", "at the line's speed: 115200 8N1, 86.8 µs a byte each way");
}

// A client opening and closing the line, as the device at the end of a real
// cable sees the control lines come and go: on a pty, the kernel's notes of
// opens and closes of the slave's node (the device's own open came before).
// Logged as "<ms> OPEN" and "<ms> CLOSE".
int WatchClients(const char* path)
{
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd >= 0 && inotify_add_watch(fd, path, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

void NoteClients(Runtime& rt, int fd)
{
    alignas(inotify_event) char events[1024];
    ssize_t n = 0;
    while ((n = read(fd, events, sizeof events)) > 0) {
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(events + at);
            const bool opened = (e->mask & IN_OPEN) != 0;
            rt.clientsOpen = opened ? rt.clientsOpen + 1 : rt.clientsOpen > 0 ? rt.clientsOpen - 1 : 0;
            LogFrame(rt, opened ? "OPEN" : "CLOSE", nullptr, 0);
            Trace(rt, "--", opened ? "a client opened the line" : "a client closed the line");
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
    }
}

namespace {

// One wait for the line or a client: false when the line is gone (the
// exit code is then in `code`).
bool ServeOnce(Runtime& rt, int clients, int& code)
{
    uint8_t chunk[RxBufferSize];
    pollfd p[2] = {{rt.line.fd, POLLIN, 0}, {clients, POLLIN, 0}};
    const int ready = poll(p, 2, PollStepMs);
    if (ready > 0 && (p[1].revents & POLLIN))
        NoteClients(rt, clients);
    if (ready < 0 && errno != EINTR)
        return false;
    if (ready > 0 && (p[0].revents & POLLIN)) {
        const ssize_t n = read(rt.line.fd, chunk, RxSpace(rt.rx));
        if (n > 0) {
            if (rt.options.lineSpeed)
                ReceiveAtLineSpeed(rt.pace, static_cast<uint32_t>(n));
            RxFeed(rt.rx, chunk, static_cast<uint32_t>(n), ElapsedMs(rt), OnReceived, &rt);
            return true;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            Trace(rt, "--", "the line failed; stopping");
            code = 1;
            return false;
        }
    } else if (ready > 0 && (p[0].revents & (POLLERR | POLLHUP | POLLNVAL))) {
        Trace(rt, "--", "the line was hung up; stopping");
        code = 1;
        return false;
    }
    RxQuiet(rt.rx, ElapsedMs(rt), OnReceived, &rt);
    return true;
}

// Serves until a stop signal, the hang-up time or a dead line. Returns the
// exit code.
int Serve(Runtime& rt)
{
    const int clients = rt.clients;
    int code = 0;
    while (stopSignal == 0) {
        if (rt.options.hangupMs >= 0 && ElapsedMs(rt) >= rt.options.hangupMs) {
            Trace(rt, "--", "hanging up: closing the line");
            break;
        }
        if (!ServeOnce(rt, clients, code))
            break;
    }
    return code;
}

bool Refuse(const char* subject, const Result& why)
{
    std::fprintf(stderr, "quorvane-device: %s: %s: %s\n", subject, why.what, std::strerror(why.osError));
    return false;
}

// The line, the frames log and the link; false (with the reason printed and
// nothing left open) when one cannot be made.
bool MakeLine(Runtime& rt, bool& linked)
{
    const DeviceOptions& o = rt.options;
    const Result opened = !o.port.empty() ? OpenSerialLine(rt.line, o.port.c_str()) : OpenPtyLine(rt.line);
    if (!Succeeded(opened))
        return Refuse(!o.port.empty() ? o.port.c_str() : "a new pty", opened);
    if (!o.framesLog.empty() && (rt.framesLog = std::fopen(o.framesLog.c_str(), "w")) == nullptr) {
        CloseLine(rt.line);
        return Refuse(o.framesLog.c_str(), Failure(Status::Failed, "fopen", errno));
    }
    // Watched before the link or the path is given, so that no client's
    // opening is missed.
    rt.clients = rt.line.slaveFd >= 0 ? WatchClients(rt.line.clientPath) : -1;
    if (!o.link.empty() && o.port.empty()) {
        // A stale link from an earlier run is replaced; anything else at that
        // path is the user's and is left alone (symlink then fails).
        struct stat existing{};
        if (lstat(o.link.c_str(), &existing) == 0 && S_ISLNK(existing.st_mode))
            unlink(o.link.c_str());
        linked = symlink(rt.line.clientPath, o.link.c_str()) == 0;
        if (!linked) {
            CloseLine(rt.line);
            return Refuse(o.link.c_str(), Failure(Status::Failed, "symlink", errno));
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    Runtime rt{};   // the device's one state, handed to every part by reference
    std::string message;
    if (!ParseOptions(argc, argv, rt.options, message)) {
        std::fprintf(stderr, "quorvane-device: %s\nRun with --help for the options.\n", message.c_str());
        return 2;
    }
    if (rt.options.help) {
        std::fputs(message.c_str(), stdout);
        return 0;
    }
    rt.startMs = MonotonicMs();
    if (!rt.options.seedGiven)
        rt.options.seed = static_cast<uint32_t>(rt.startMs ^ getpid());
    rt.random.seed(rt.options.seed);
    if (!rt.options.macGiven)
        InstanceMac(static_cast<uint32_t>(getpid()), rt.options.state.mac);
    rt.colour = isatty(2) && std::getenv("NO_COLOR") == nullptr;
    RxReset(rt.rx);
    if (rt.options.lineSpeed)
        StartLinePace(rt.pace);
    InstallSignals();
    bool linked = false;
    if (!MakeLine(rt, linked))
        return 1;
    std::printf("%s\n", rt.line.clientPath);
    std::fflush(stdout);
    TraceStart(rt);

    const int code = Serve(rt);
    if (stopSignal != 0)
        Trace(rt, "--", "stopped by signal");
    if (rt.clients >= 0)
        close(rt.clients);
    CloseLine(rt.line);
    if (linked)
        unlink(rt.options.link.c_str());
    if (rt.framesLog != nullptr)
        std::fclose(rt.framesLog);
    return code;
}
