// The supervision of a session, tick by tick, with its host and the frame tap
// recording what it does. Replies go in as frames, through the session's
// HandleReplyFrame. A case is a script of events and the calls they make:
//   script  S start  t tick  H heartbeat reply  R refused heartbeat reply
//           P password reply  N network reply
//   calls   h heartbeat written  c link up  l link lost  m no-answer box
//           shown  d dismissed  r port released  . end of a tick
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "session/session.h"
#include "tests/support/frames.h"

namespace {

std::mutex callsLock;
std::string calls;
std::function<void()> whileNoAnswerOpen;
Session session;

void Record(char c)
{
    std::lock_guard<std::mutex> hold(callsLock);
    calls += c;
}

void Reply(const Bytes& frame) { HandleSessionFrame(session, frame.data(), static_cast<uint32_t>(frame.size())); }

std::string Play(const std::string& script)
{
    for (char c : script) {
        switch (c) {
        case 'S': StartSupervision(session.supervision); break;
        case 't': OnSupervisionTick(session.supervision); Record('.'); break;
        case 'H': Reply(MakeReply(0x08, 0)); break;
        case 'R': Reply(MakeReply(0x08, 1)); break;
        case 'P': Reply(TextReply(0x0A, 0, "admin")); break;
        case 'N': Reply(MakeReply(0x02, 0, "\x01")); break;
        }
    }
    return calls;
}

std::string Ticks(int n) { return std::string(static_cast<size_t>(n), 't'); }

const SessionCallbacks Recording{
    ReplyHandler{nullptr, nullptr},
    SupervisionHost{nullptr, [](void*) { Record('c'); }, [](void*) { Record('l'); },
                    [](void*) {
                        Record('m');
                        if (whileNoAnswerOpen)
                            whileNoAnswerOpen();
                        Record('d');
                    },
                    [](void*) { Record('r'); }},
    FrameTap{nullptr, [](void*, const uint8_t* frame, uint32_t) { Record(frame[2] == 0x07 ? 'h' : '?'); }, nullptr, nullptr},
};

LinkSupervisor& Counters() { return session.supervision; }

class Supervision : public ::testing::Test {
protected:
    void SetUp() override
    {
        calls.clear();
        whileNoAnswerOpen = nullptr;
        BindSession(session, Recording);
        Counters().heartbeatTicks = 0;
        Counters().linkCountdown = 0;
        Counters().firstContactCountdown = 0;
    }
};

}  // namespace

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
        {"silent device: box on tick 3, then release", 0, 0, "Sttt", "..hmdr.", 0, 0, 0},
        {"network reply before tick 3", 0, 0, "SttNt", "..h.", 0, 0, 0},
        {"password reply before tick 3", 0, 0, "SttPt", "..ch.", 0, 9, 0},
        {"heartbeat reply before tick 3", 0, 0, "SttHt", "..ch.", 0, 9, 0},
        {"network reply arms no link", 0, 0, "SN" + Ticks(12), "..h...h...h...h.", 0, 0, 0},
        {"lost ten ticks after the password reply", 0, 0, "SP" + Ticks(13), "c..h...h...h.l..h..", 1, 0, 0},
        {"lost ten ticks after the last heartbeat reply", 0, 0, "SPtttHtttH" + Ticks(10),
         "c..h...h...h...h...h.l.", 1, 0, 0},
        {"losing tick leaves first contact alone", 1, 2, "t", "l.", 1, 0, 2},
        {"reopening drops an old link countdown", 7, 0, "Sttt", "..hmdr.", 0, 0, 0},
        {"reopening: the first heartbeat reply connects", 9, 0, "SH", "c", 0, 10, 0},
        {"heartbeat reply while timed: quiet", 4, 2, "H", "", 0, 10, 0},
        {"heartbeat reply while not timed: connected", 0, 2, "H", "c", 0, 10, 0},
        {"refused heartbeat reply arms nothing", 0, 2, "R", "", 0, 0, 2},
        {"password reply: connected, whatever the countdown", 4, 3, "P", "c", 0, 10, 0},
        {"network reply clears first contact only", 5, 3, "N", "", 0, 5, 0},
    };
    for (const auto& c : cases) {
        SetUp();
        Counters().linkCountdown = c.link;
        Counters().firstContactCountdown = c.first;
        EXPECT_EQ(Play(c.script), c.calls) << c.what;
        EXPECT_EQ(Counters().heartbeatTicks.load(), c.ticksAfter) << c.what;
        EXPECT_EQ(Counters().linkCountdown.load(), c.linkAfter) << c.what;
        EXPECT_EQ(Counters().firstContactCountdown.load(), c.firstAfter) << c.what;
    }
}

// The no-answer box runs a modal loop: ticks and replies go on inside it.
TEST_F(Supervision, TicksAndRepliesWhileTheNoAnswerBoxIsOpen)
{
    whileNoAnswerOpen = [] { Play(Ticks(6)); };
    EXPECT_EQ(Play("Sttt"), "..hm..h...h.dr.");

    SetUp();
    whileNoAnswerOpen = [] { Play("H" + Ticks(10)); };
    EXPECT_EQ(Play("Sttt"), "..hmc..h...h...h.l.dr.");
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
            FeedSupervision(session.supervision, 0x08, 0);
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
        OnSupervisionTick(session.supervision);
    }
    done.store(true);
    assembler.join();
    EXPECT_EQ(calls.substr(1).find_first_of("lmc"), std::string::npos);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), 'h'), TotalTicks / HeartbeatEveryTicks);
    EXPECT_GT(issued, 100u);
}
