// The supervision tick by tick, against recording fakes of the dialog and the
// heartbeat sender. A case is a script of events and the calls they make:
//   script  S start  t tick  H heartbeat reply  P password reply
//           N network reply  X stop
//   calls   h heartbeat  c "connected"  n "not connected"  k port button
//           m no-answer box shown  d dismissed  r port released  x timer
//           killed  . end of a tick
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "protocol/device_client.h"
#include "ui/config_dialog.h"
#include "ui/link_supervisor.h"
#include "ui/texts.h"

namespace {

std::mutex callsLock;
std::string calls;
std::function<void()> whileNoAnswerOpen;

void Record(char c)
{
    std::lock_guard<std::mutex> hold(callsLock);
    calls += c;
}

std::string Play(const std::string& script)
{
    for (char c : script) {
        switch (c) {
        case 'S': StartSupervision(); break;
        case 't': OnSupervisionTick(); Record('.'); break;
        case 'H': OnHeartbeatReply(); break;
        case 'P': MarkLinkAlive(); break;
        case 'N': CancelFirstContact(); break;
        case 'X': StopSupervision(); break;
        }
    }
    return calls;
}

std::string Ticks(int n) { return std::string(static_cast<size_t>(n), 't'); }

class Supervision : public ::testing::Test {
protected:
    void SetUp() override
    {
        calls.clear();
        whileNoAnswerOpen = nullptr;
        heartbeatTicks = 0;
        linkCountdown = 0;
        firstContactCountdown = 0;
    }
};

}  // namespace

void SendHeartbeat() { Record('h'); }
void SetStatusText(const char* text) { Record(std::strcmp(text, texts::Connected) == 0 ? 'c' : std::strcmp(text, texts::NotConnected) == 0 ? 'n' : '?'); }
void ReleasePort() { Record('r'); }
void ClickPortToggle() { Record('k'); }
void KillSupervisionTimer() { Record('x'); }
void ShowNoAnswerMessage()
{
    Record('m');
    if (whileNoAnswerOpen)
        whileNoAnswerOpen();
    Record('d');
}

TEST_F(Supervision, Scripts)
{
    const struct {
        const char* what;
        uint32_t link, first;   // countdowns left by an earlier opening, if any
        std::string script, calls;
        uint32_t ticksAfter, linkAfter, firstAfter;
    } cases[] = {
        {"heartbeat on every third tick", 0, 0, "SN" + Ticks(9), "..h...h...h.", 0, 0, 0},
        {"opening restarts the count", 0, 0, "SNttSNttt", "....h.", 0, 0, 0},
        {"stop kills the timer only", 0, 0, "SPttX", "..x", 2, 8, 0},
        {"silent device: box on tick 3, then release", 0, 0, "Sttt", "..hmdr.", 0, 0, 0},
        {"network reply before tick 3", 0, 0, "SttNt", "..h.", 0, 0, 0},
        {"password reply before tick 3", 0, 0, "SttPt", "..h.", 0, 9, 0},
        {"heartbeat reply before tick 3", 0, 0, "SttHt", "..ch.", 0, 9, 0},
        {"network reply arms no link", 0, 0, "SN" + Ticks(12), "..h...h...h...h.", 0, 0, 0},
        {"lost ten ticks after the password reply", 0, 0, "SP" + Ticks(13), "..h...h...h.nk..h..", 1, 0, 0},
        {"lost ten ticks after the last heartbeat reply", 0, 0, "SPtttHtttH" + Ticks(10),
         "..h...h...h...h...h.nk.", 1, 0, 0},
        {"losing tick leaves first contact alone", 1, 2, "t", "nk.", 1, 0, 2},
        {"reopening drops an old link countdown", 7, 0, "Sttt", "..hmdr.", 0, 0, 0},
        {"reopening: the first heartbeat reply connects", 9, 0, "SH", "c", 0, 10, 0},
        {"heartbeat reply while timed: quiet", 4, 2, "H", "", 0, 10, 0},
        {"heartbeat reply while not timed: connected", 0, 2, "H", "c", 0, 10, 0},
        {"password reply: no status", 0, 3, "P", "", 0, 10, 0},
        {"network reply clears first contact only", 5, 3, "N", "", 0, 5, 0},
    };
    for (const auto& c : cases) {
        SetUp();
        linkCountdown = c.link;
        firstContactCountdown = c.first;
        EXPECT_EQ(Play(c.script), c.calls) << c.what;
        EXPECT_EQ(heartbeatTicks.load(), c.ticksAfter) << c.what;
        EXPECT_EQ(linkCountdown.load(), c.linkAfter) << c.what;
        EXPECT_EQ(firstContactCountdown.load(), c.firstAfter) << c.what;
    }
}

// The no-answer box runs a modal loop: ticks and replies go on inside it.
TEST_F(Supervision, TicksAndRepliesWhileTheNoAnswerBoxIsOpen)
{
    whileNoAnswerOpen = [] { Play(Ticks(6)); };
    EXPECT_EQ(Play("Sttt"), "..hm..h...h.dr.");

    SetUp();
    whileNoAnswerOpen = [] { Play("H" + Ticks(10)); };
    EXPECT_EQ(Play("Sttt"), "..hmc..h...h...h.nk.dr.");
}

// The assembler re-arms the countdown while the timer ticks. The ticking side
// never runs more than nine ticks past the request of the last acknowledged
// re-arm, so a countdown that reaches zero can only come from a re-arm that a
// concurrent tick overwrote.
TEST_F(Supervision, ConcurrentRearmIsNeverLostToATick)
{
    constexpr uint32_t TotalTicks = 30000;
    std::atomic<uint32_t> request{1}, acknowledged{0};
    std::atomic<bool> done{false};
    Play("SP");
    std::thread assembler([&] {
        for (uint32_t handled = 0; !done.load();) {
            const uint32_t wanted = request.load();
            if (wanted == handled) {
                std::this_thread::yield();
                continue;
            }
            OnHeartbeatReply();
            handled = wanted;
            acknowledged.store(wanted);
        }
    });
    uint32_t issued = 1, issuedAtTick = 0, safeFromTick = 0;
    for (uint32_t tick = 0; tick < TotalTicks; ++tick) {
        for (;;) {
            if (acknowledged.load() == issued) {
                safeFromTick = issuedAtTick;
                issuedAtTick = tick;
                request.store(++issued);
            }
            if (tick - safeFromTick < LinkTimeoutTicks - 1)
                break;
            std::this_thread::yield();
        }
        OnSupervisionTick();
    }
    done.store(true);
    assembler.join();
    EXPECT_EQ(calls.find_first_of("kmnc"), std::string::npos);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), 'h'), TotalTicks / HeartbeatEveryTicks);
    EXPECT_GT(issued, 100u);
}
