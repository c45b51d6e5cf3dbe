// watch: the dialog's link supervision, driven once a second, with this
// program as its host. A line is printed on every change between connected
// and not connected; a released port is opened again on the next tick, as a
// technician would press 打开串口 again.
//
// A pulled adapter is named at once (the link wakes the loop) and its port
// let go; the watch goes on, and opens the adapter again when one with the
// same identity is back: for a selector the same serial or location,
// resolved again among the ports present, under whatever name the system
// gives it this time.
#include <atomic>

#include "cli/cli.h"
#include "cli/device_steps.h"
#include "cli/interrupt.h"
#include "cli/failure_text.h"
#include "cli/port_selector.h"
#include "cli/ports.h"
#include "cli/text.h"

namespace {

enum class LinkState { Unknown, Connected, NotConnected, Removed };

// The supervision's host. linkUp may come from the assembler thread, the
// rest from the main thread inside a tick.
struct Watch {
    const CliOptions* options;
    DeviceLink* link;
    std::atomic<int> shown{static_cast<int>(LinkState::Unknown)};
    std::string port;        // the port watched now (main thread; a selector may move it)
    bool released = false;   // main thread only
    bool removed = false;    // main thread only: released because its adapter went away
};

void PrintLinkState(Watch& w, LinkState state, const std::string& why)
{
    if (w.shown.exchange(static_cast<int>(state)) == static_cast<int>(state))
        return;
    char clock[16];
    FormatWallClock(clock, sizeof clock);
    const char* word = state == LinkState::Connected ? "connected"
                       : state == LinkState::Removed ? "removed"
                                                     : "not connected";
    std::string line;
    if (w.options->json) {
        nlohmann::json j{{"time", clock}, {"port", w.port}, {"state", word}};
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

void LinkUp(void* context) { PrintLinkState(*static_cast<Watch*>(context), LinkState::Connected, ""); }

void LinkLost(void* context)
{
    Watch& w = *static_cast<Watch*>(context);
    PrintLinkState(w, LinkState::NotConnected, "the device stopped answering");
    Release(w);
}

void NoFirstAnswer(void* context) { PrintLinkState(*static_cast<Watch*>(context), LinkState::NotConnected, "no answer"); }

void ReleasePort(void* context) { Release(*static_cast<Watch*>(context)); }

Result OpenAndGreet(Watch& w)
{
    const Result opened = OpenLink(*w.link, w.port, w.options->selector, LinkOpening::Supervised);
    if (!PortOpened(opened))
        return opened;
    w.released = false;
    w.removed = false;
    return Success;
}

// The link's adapter went away: say so with the system's reason, and let
// the port go.
void NoteRemoval(Watch& w)
{
    Result why;
    LinkRemoved(*w.link, &why);
    PrintLinkState(w, LinkState::Removed, "the adapter was removed: " + ResultText(why));
    Release(w);
    w.removed = true;
}

// Where the removed adapter is now: for a selector, resolved again among
// the ports present (nothing while none matches); a port named by its name
// is tried by that name.
bool FindAgain(Watch& w)
{
    if (w.options->selector.empty())
        return true;
    const PortChoice choice = ChoosePort(w.options->selector, PresentPorts());
    if (choice.code != ExitDone)
        return false;
    w.port = choice.port;
    return true;
}

// One second's work: open a released port again, or tick the supervision.
void Tick(Watch& w)
{
    if (!w.released) {
        TickSession(w.link->session);
        return;
    }
    if (w.removed && !FindAgain(w))
        return;
    const Result opened = OpenAndGreet(w);
    // A removed adapter's port stays missing until it is back: no news.
    if (!PortOpened(opened) && !(w.removed && opened.status == Status::Missing))
        PrintLinkState(w, LinkState::NotConnected, "the port cannot be opened: " + OpenFailureText(opened));
}

// Until Ctrl+C: ticks on the monotonic clock (a late tick does not make the
// next one late too). The link's wake-up ends the wait at once for Ctrl+C
// and for a removal; replies wake it too and are waited past.
void WatchLoop(Watch& w)
{
    int64_t next = MonotonicMicroseconds();
    while (!Interrupted()) {
        next += int64_t{SupervisionPeriodMs} * 1000;
        for (int64_t wait = next - MonotonicMicroseconds(); wait > 0 && !Interrupted();
             wait = next - MonotonicMicroseconds()) {
            if (!w.released && LinkRemoved(*w.link))
                NoteRemoval(w);
            WaitWakeup(w.link->replyArrived, static_cast<uint32_t>((wait + 999) / 1000));
        }
        if (Interrupted())
            break;
        if (!w.released && LinkRemoved(*w.link))
            NoteRemoval(w);
        Tick(w);
    }
}

}  // namespace

Outcome RunWatch(const CliOptions& o)
{
    Outcome out;
    out.doc["command"] = "watch";
    Watch w;
    w.options = &o;
    w.port = o.port;
    const SupervisionHost host{&w, LinkUp, LinkLost, NoFirstAnswer, ReleasePort};
    Wakeup stop;
    const Result watching = StartInterruptWatch(stop);
    if (!Succeeded(watching))
        return SetFailure(out, ExitInternal, "cannot watch for Ctrl+C: " + ResultText(watching));
    WithDevice(o, out, [&](DeviceLink& link) {
        w.link = &link;
        CloseLink(link);
        OpenAndGreet(w);
        WatchLoop(w);
        out.doc["port"] = w.port;   // where a selector's adapter was last
        out.doc["stopped"] = "interrupted";
    }, host);
    EndInterruptWatch(stop);
    return out;
}
