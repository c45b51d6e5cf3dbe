// watch: the dialog's link supervision, driven once a second, with this
// program as its host. A line is printed on every change between connected
// and not connected; a released port is opened again on the next tick, as a
// technician would press 打开串口 again.
#include <atomic>

#include "cli/cli.h"
#include "cli/device_steps.h"
#include "cli/interrupt.h"
#include "cli/failure_text.h"
#include "cli/text.h"

namespace {

enum class LinkState { Unknown, Connected, NotConnected };

// The supervision's host. linkUp may come from the assembler thread, the
// rest from the main thread inside a tick.
struct Watch {
    const CliOptions* options;
    DeviceLink* link;
    std::atomic<int> shown{static_cast<int>(LinkState::Unknown)};
    bool released = false;   // main thread only
};

void Report(Watch& w, LinkState state, const std::string& why)
{
    if (w.shown.exchange(static_cast<int>(state)) == static_cast<int>(state))
        return;
    char clock[16];
    FormatWallClock(clock, sizeof clock);
    const char* word = state == LinkState::Connected ? "connected" : "not connected";
    std::string line;
    if (w.options->json) {
        nlohmann::json j{{"time", clock}, {"port", w.options->port}, {"state", word}};
        if (!why.empty())
            j["reason"] = why;
        line = j.dump() + "\n";
    } else {
        line = std::string(clock) + "  " + word + (why.empty() ? "" : "  (" + why + ")") + "\n";
    }
    PrintText(stdout, line);
    std::fflush(stdout);
}

void Release(Watch& w)
{
    CloseLink(*w.link);
    w.released = true;
}

void LinkUp(void* context) { Report(*static_cast<Watch*>(context), LinkState::Connected, ""); }

void LinkLost(void* context)
{
    Watch& w = *static_cast<Watch*>(context);
    Report(w, LinkState::NotConnected, "the device stopped answering");
    Release(w);
}

void NoFirstAnswer(void* context) { Report(*static_cast<Watch*>(context), LinkState::NotConnected, "no answer"); }

void ReleasePort(void* context) { Release(*static_cast<Watch*>(context)); }

Result OpenAndGreet(Watch& w)
{
    const Result opened = OpenLink(*w.link, w.options->port, "", LinkOpening::Supervised);
    if (!PortOpened(opened))
        return opened;
    w.released = false;
    return Success;
}

}  // namespace

Outcome RunWatch(const CliOptions& o)
{
    Outcome out;
    out.doc["command"] = "watch";
    Watch w;
    w.options = &o;
    const SupervisionHost host{&w, LinkUp, LinkLost, NoFirstAnswer, ReleasePort};
    Wakeup stop;
    const Result watching = StartInterruptWatch(stop);
    if (!Succeeded(watching))
        return SetFailure(out, ExitInternal, "cannot watch for Ctrl+C: " + ResultText(watching));
    WithDevice(o, out, [&](DeviceLink& link) {
        w.link = &link;
        CloseLink(link);
        OpenAndGreet(w);
        // Ticks on the monotonic clock: a late tick does not make the next
        // one late too. Ctrl+C ends the wait at once.
        int64_t next = MonotonicMicroseconds();
        while (!Interrupted()) {
            next += int64_t{SupervisionPeriodMs} * 1000;
            const int64_t wait = next - MonotonicMicroseconds();
            if (wait > 0)
                WaitWakeup(stop, static_cast<uint32_t>(wait / 1000));
            if (Interrupted())
                break;
            if (w.released) {
                const Result opened = OpenAndGreet(w);
                if (!PortOpened(opened))
                    Report(w, LinkState::NotConnected, "the port cannot be opened: " + OpenFailureText(opened));
                continue;
            }
            TickSession(link.session);
        }
        out.doc["stopped"] = "interrupted";
    }, host);
    EndInterruptWatch(stop);
    return out;
}
