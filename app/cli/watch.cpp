// watch: the dialog's link supervision, driven once a second, with this
// program standing in for the dialog operations it calls. A line is printed
// on every change between connected and not connected; a released port is
// opened again on the next tick, as a technician would press 打开串口 again.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

#include "app/cli/cli.h"
#include "app/cli/device_steps.h"
#include "app/cli/link_session.h"
#include "app/cli/text.h"
#include "link/serial_port.h"
#include "ui/config_dialog.h"
#include "ui/link_supervisor.h"
#include "ui/texts.h"

namespace {

enum class LinkState { Unknown, Connected, NotConnected };

// Set by the signal handler, read by the main thread.
std::atomic<bool> stopRequested{false};
// Written by whichever thread reports a state (SetStatusText may come from
// the assembler thread), read by the main thread.
std::atomic<bool> watching{false};
std::atomic<int> shownState{static_cast<int>(LinkState::Unknown)};
// Main thread only.
bool released = false;
const CliOptions* watchOptions = nullptr;

void OnInterrupt(int) { stopRequested.store(true); }

void Report(LinkState state, const char* why)
{
    if (!watching.load() || shownState.exchange(static_cast<int>(state)) == static_cast<int>(state))
        return;
    char clock[16];
    WallClock(clock, sizeof clock);
    const char* word = state == LinkState::Connected ? "connected" : "not connected";
    std::string line;
    if (watchOptions->json) {
        nlohmann::json j{{"time", clock}, {"port", watchOptions->port}, {"state", word}};
        if (why[0] != '\0')
            j["reason"] = why;
        line = j.dump() + "\n";
    } else {
        line = std::string(clock) + "  " + word + (why[0] != '\0' ? std::string("  (") + why + ")" : "") + "\n";
    }
    PrintText(stdout, line);
    std::fflush(stdout);
}

bool OpenAndGreet()
{
    if (OpenLink(watchOptions->port).status != PortOpenStatus::Opened)
        return false;
    released = false;
    StartSupervision();
    SendGetNetConfig();
    SendGetAdminPassword();
    return true;
}

}  // namespace

// ---- the dialog operations the supervision calls ----

void SetStatusText(const char* text)
{
    if (std::strcmp(text, texts::Connected) == 0)
        Report(LinkState::Connected, "");
    else if (std::strcmp(text, texts::NotConnected) == 0)
        Report(LinkState::NotConnected, "the device stopped answering");
}

void ReleasePort()
{
    StopSupervision();
    CloseLink();
    released = true;
}

void ClickPortToggle() { ReleasePort(); }

void ShowNoAnswerMessage() { Report(LinkState::NotConnected, "no answer"); }

// The tick loop below stops by itself while the port is released.
void KillSupervisionTimer() {}

Outcome RunWatch(const CliOptions& o)
{
    Outcome out;
    out.doc["command"] = "watch";
    watchOptions = &o;
    if (!OpenDevice(o, out))
        return out;
    CloseLink();
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    watching.store(true);
    OpenAndGreet();
    auto next = std::chrono::steady_clock::now();
    while (!stopRequested.load()) {
        next += std::chrono::milliseconds(SupervisionPeriodMs);
        std::this_thread::sleep_until(next);
        if (stopRequested.load())
            break;
        if (released) {
            if (!OpenAndGreet())
                Report(LinkState::NotConnected, "the port cannot be opened");
            continue;
        }
        OnSupervisionTick();
    }
    watching.store(false);
    CloseLink();
    out.doc["stopped"] = "interrupted";
    return out;
}
