// The supervision tick by tick, against recording fakes of the dialog and the
// heartbeat sender.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tests/ui/supervision_fakes.h"
#include "ui/link_supervisor.h"

namespace {

class Supervision : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
    void TearDown() override { fake::Reset(); }

    static void Ticks(uint32_t n)
    {
        for (uint32_t i = 0; i < n; ++i) {
            OnSupervisionTick();
        }
    }

    static std::vector<Call> Calls()
    {
        std::vector<Call> calls;
        for (uint32_t i = 0; i < fake::Count(); ++i) {
            calls.push_back(fake::At(i));
        }
        return calls;
    }
};

// --- Heartbeats -----------------------------------------------------------

TEST_F(Supervision, FirstHeartbeatGoesOutOnTheThirdTickThenEveryThird)
{
    StartSupervision();
    CancelFirstContact();
    const uint32_t expected[] = {0, 0, 1, 1, 1, 2, 2, 2, 3};
    for (uint32_t tick = 0; tick < 9; ++tick) {
        OnSupervisionTick();
        EXPECT_EQ(fake::heartbeats.load(), expected[tick]) << "after tick " << tick + 1;
    }
}

TEST_F(Supervision, OpeningRestartsTheHeartbeatCount)
{
    StartSupervision();
    CancelFirstContact();
    Ticks(2);
    StartSupervision();
    CancelFirstContact();
    Ticks(2);
    EXPECT_EQ(fake::heartbeats.load(), 0u);
    Ticks(1);
    EXPECT_EQ(fake::heartbeats.load(), 1u);
}

TEST_F(Supervision, StopKillsTheTimerAndLeavesTheCounters)
{
    StartSupervision();
    MarkLinkAlive();
    Ticks(2);
    StopSupervision();
    EXPECT_EQ(Calls(), std::vector<Call>{Call::KillTimer});
    EXPECT_EQ(heartbeatTicks.load(), 2u);
    EXPECT_EQ(linkCountdown.load(), 8u);
}

// --- A device that never answers -------------------------------------------

TEST_F(Supervision, SilentDeviceGetsOneHeartbeatThenTheNoAnswerMessageOnTickThree)
{
    StartSupervision();
    Ticks(2);
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(firstContactCountdown.load(), 1u);
    Ticks(1);
    const std::vector<Call> expected{Call::Heartbeat, Call::NoAnswerShown, Call::NoAnswerDismissed,
                                     Call::ReleasePort};
    EXPECT_EQ(Calls(), expected);
    EXPECT_EQ(fake::statusTexts.load(), 0u) << "the status text stays as it was";
    EXPECT_EQ(fake::portToggles.load(), 0u);
}

TEST_F(Supervision, TicksWhileTheMessageIsOpenSendHeartbeatsAndShowNoSecondMessage)
{
    StartSupervision();
    fake::whileNoAnswerOpen = [] { Ticks(6); };
    Ticks(3);
    EXPECT_EQ(fake::CountOf(Call::NoAnswerShown), 1u);
    EXPECT_EQ(fake::heartbeats.load(), 3u);
    EXPECT_EQ(fake::CountOf(Call::ReleasePort), 1u);
    EXPECT_EQ(Calls().back(), Call::ReleasePort);
}

TEST_F(Supervision, ReplyWhileTheMessageIsOpenArmsTheLinkAndMayLoseItBeforeRelease)
{
    StartSupervision();
    fake::whileNoAnswerOpen = [] {
        OnHeartbeatReply();
        EXPECT_EQ(linkCountdown.load(), LinkTimeoutTicks);
        Ticks(LinkTimeoutTicks);
    };
    Ticks(3);
    const std::vector<Call> calls = Calls();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(fake::CountOf(Call::StatusConnected), 1u);
    EXPECT_EQ(fake::CountOf(Call::StatusNotConnected), 1u);
    EXPECT_EQ(fake::portToggles.load(), 1u);
    EXPECT_EQ(calls[calls.size() - 2], Call::NoAnswerDismissed);
    EXPECT_EQ(calls.back(), Call::ReleasePort);
}

TEST_F(Supervision, AnyFirstReplyStopsTheNoAnswerMessage)
{
    void (*replies[])() = {CancelFirstContact, MarkLinkAlive, OnHeartbeatReply};
    for (auto reply : replies) {
        fake::Reset();
        StartSupervision();
        Ticks(2);
        reply();
        Ticks(1);
        EXPECT_EQ(fake::CountOf(Call::NoAnswerShown), 0u);
        EXPECT_EQ(firstContactCountdown.load(), 0u);
    }
}

TEST_F(Supervision, NetworkReplyAloneArmsNoLinkAndSetsNoStatus)
{
    StartSupervision();
    CancelFirstContact();
    Ticks(30);
    EXPECT_EQ(linkCountdown.load(), 0u);
    EXPECT_EQ(fake::statusTexts.load(), 0u);
    EXPECT_EQ(fake::portToggles.load(), 0u);
    EXPECT_EQ(fake::heartbeats.load(), 10u);
}

// --- Losing a live link ------------------------------------------------------

TEST_F(Supervision, LinkIsLostExactlyTenTicksAfterTheLastPasswordReply)
{
    StartSupervision();
    MarkLinkAlive();
    Ticks(9);
    EXPECT_EQ(fake::portToggles.load(), 0u);
    EXPECT_EQ(linkCountdown.load(), 1u);
    Ticks(1);
    EXPECT_EQ(fake::portToggles.load(), 1u);
    const std::vector<Call> calls = Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], Call::StatusNotConnected);
    EXPECT_EQ(calls.back(), Call::ClickPortToggle);
    Ticks(20);
    EXPECT_EQ(fake::portToggles.load(), 1u) << "a run-out countdown stays at zero";
}

TEST_F(Supervision, LinkIsLostTenTicksAfterTheLastAcceptedHeartbeatReply)
{
    StartSupervision();
    MarkLinkAlive();
    for (uint32_t round = 0; round < 5; ++round) {
        Ticks(3);
        OnHeartbeatReply();  // answers each heartbeat
        EXPECT_EQ(linkCountdown.load(), LinkTimeoutTicks);
    }
    EXPECT_EQ(fake::statusTexts.load(), 0u);
    Ticks(9);
    EXPECT_EQ(fake::portToggles.load(), 0u);
    Ticks(1);
    EXPECT_EQ(fake::portToggles.load(), 1u);
}

TEST_F(Supervision, SteadyOperationKeepsTheCountdownBetweenSevenAndTen)
{
    StartSupervision();
    MarkLinkAlive();
    for (uint32_t tick = 0; tick < 60; ++tick) {
        const uint32_t before = fake::heartbeats.load();
        OnSupervisionTick();
        if (fake::heartbeats.load() != before) {
            OnHeartbeatReply();
        }
        EXPECT_GE(linkCountdown.load(), 7u);
        EXPECT_LE(linkCountdown.load(), 10u);
    }
    EXPECT_EQ(fake::portToggles.load(), 0u);
}

TEST_F(Supervision, TickThatLosesTheLinkLeavesFirstContactAlone)
{
    MarkLinkAlive();
    Ticks(7);  // an earlier opening left linkCountdown at 3
    fake::Reset();
    linkCountdown.store(3);
    StartSupervision();
    Ticks(3);
    EXPECT_EQ(fake::portToggles.load(), 1u);
    EXPECT_EQ(fake::CountOf(Call::NoAnswerShown), 0u);
    EXPECT_EQ(firstContactCountdown.load(), 1u) << "not decremented on the losing tick";
    const std::vector<Call> expected{Call::Heartbeat, Call::StatusNotConnected, Call::ClickPortToggle};
    EXPECT_EQ(Calls(), expected);
}

TEST_F(Supervision, ReopeningWithAnOldCountdownStillWarnsOnTheThirdTick)
{
    linkCountdown.store(7);  // steady operation, then the technician closed the port
    StartSupervision();
    Ticks(2);
    EXPECT_EQ(fake::CountOf(Call::NoAnswerShown), 0u);
    Ticks(1);
    EXPECT_EQ(fake::CountOf(Call::NoAnswerShown), 1u);
    EXPECT_EQ(fake::CountOf(Call::ReleasePort), 1u);
    EXPECT_EQ(linkCountdown.load(), 4u) << "opening does not touch the link countdown";
}

// --- Reply operations ---------------------------------------------------------

TEST_F(Supervision, HeartbeatReplyRearmsQuietlyWhileTheLinkIsTimed)
{
    linkCountdown.store(4);
    firstContactCountdown.store(2);
    OnHeartbeatReply();
    EXPECT_EQ(linkCountdown.load(), LinkTimeoutTicks);
    EXPECT_EQ(firstContactCountdown.load(), 0u);
    EXPECT_EQ(fake::statusTexts.load(), 0u);
}

TEST_F(Supervision, HeartbeatReplyShowsConnectedWhenNoLinkIsTimed)
{
    firstContactCountdown.store(2);
    OnHeartbeatReply();
    EXPECT_EQ(Calls(), std::vector<Call>{Call::StatusConnected});
    EXPECT_EQ(linkCountdown.load(), LinkTimeoutTicks);
    EXPECT_EQ(firstContactCountdown.load(), 0u);
}

TEST_F(Supervision, PasswordReplyArmsTheLinkWithoutTouchingTheStatus)
{
    firstContactCountdown.store(3);
    MarkLinkAlive();
    EXPECT_EQ(linkCountdown.load(), LinkTimeoutTicks);
    EXPECT_EQ(firstContactCountdown.load(), 0u);
    EXPECT_EQ(fake::statusTexts.load(), 0u) << "the dialog sets the status itself";
}

TEST_F(Supervision, NetworkReplyClearsOnlyFirstContact)
{
    linkCountdown.store(5);
    firstContactCountdown.store(3);
    CancelFirstContact();
    EXPECT_EQ(linkCountdown.load(), 5u);
    EXPECT_EQ(firstContactCountdown.load(), 0u);
    EXPECT_TRUE(Calls().empty());
}

// --- Two threads ----------------------------------------------------------------

// The assembler re-arms the countdown while the timer ticks. Each re-arm is
// requested by the ticking side and acknowledged when done, so its store falls
// between the two. The ticking side never runs more than nine ticks past the
// request of the last acknowledged re-arm, so a countdown that reaches zero
// can only come from a re-arm that a concurrent tick overwrote.
TEST_F(Supervision, ConcurrentRearmIsNeverLostToATick)
{
    constexpr uint32_t TotalTicks = 30000;
    std::atomic<uint32_t> request{0};
    std::atomic<uint32_t> acknowledged{0};
    std::atomic<bool> done{false};
    StartSupervision();
    MarkLinkAlive();

    std::thread assembler([&] {
        uint32_t handled = 0;
        while (!done.load()) {
            const uint32_t wanted = request.load();
            if (wanted != handled) {
                OnHeartbeatReply();
                handled = wanted;
                acknowledged.store(wanted);
            } else {
                std::this_thread::yield();
            }
        }
    });

    uint32_t issued = 1;
    uint32_t issuedAtTick = 0;
    uint32_t safeFromTick = 0;  // request tick of the last acknowledged re-arm
    request.store(issued);
    for (uint32_t tick = 0; tick < TotalTicks; ++tick) {
        for (;;) {
            if (acknowledged.load() == issued) {
                safeFromTick = issuedAtTick;
                issuedAtTick = tick;
                request.store(++issued);
            }
            if (tick - safeFromTick < LinkTimeoutTicks - 1) {
                break;
            }
            std::this_thread::yield();
        }
        OnSupervisionTick();
    }
    done.store(true);
    assembler.join();

    EXPECT_EQ(fake::portToggles.load(), 0u);
    EXPECT_EQ(fake::statusTexts.load(), 0u);
    EXPECT_EQ(fake::heartbeats.load(), TotalTicks / HeartbeatEveryTicks);
    EXPECT_GT(issued, 100u);
}

}  // namespace
