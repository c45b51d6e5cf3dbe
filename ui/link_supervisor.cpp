// Link supervision. The tick and the reply operations meet only in the three
// atomic counters; the tick never holds anything while it calls the dialog,
// because ShowNoAnswerMessage runs a modal loop in which further ticks and
// replies are handled.
#include "ui/link_supervisor.h"

#include "protocol/device_client.h"
#include "ui/config_dialog.h"
#include "ui/texts.h"

std::atomic<uint32_t> heartbeatTicks{0};
std::atomic<uint32_t> linkCountdown{0};
std::atomic<uint32_t> firstContactCountdown{0};

namespace {

// Decrements a non-zero countdown in one indivisible step and tells whether
// this step took it to zero. A re-arm from the assembler thread between the
// read and the write makes the exchange fail and the decrement start again
// from the re-armed value, so the re-arm is never overwritten.
bool CountDown(std::atomic<uint32_t>& countdown)
{
    uint32_t value = countdown.load();
    while (value != 0) {
        if (countdown.compare_exchange_weak(value, value - 1)) {
            return value == 1;
        }
    }
    return false;
}

}  // namespace

// Each opening starts clean: a link countdown left by an earlier opening
// would keep the first heartbeat reply from showing "connected" and would
// be re-armed by it, so the status could stay "not connected" for good
// while the device answers.
void StartSupervision()
{
    heartbeatTicks.store(0);
    linkCountdown.store(0);
    firstContactCountdown.store(FirstContactTicks);
}

void StopSupervision()
{
    KillSupervisionTimer();
}

void OnSupervisionTick()
{
    // Only this thread writes heartbeatTicks once the port is open, so a
    // plain read-modify-write is enough here.
    const uint32_t ticks = heartbeatTicks.load() + 1;
    if (ticks >= HeartbeatEveryTicks) {
        heartbeatTicks.store(0);
        SendHeartbeat();
    } else {
        heartbeatTicks.store(ticks);
    }

    if (CountDown(linkCountdown)) {
        SetStatusText(texts::NotConnected);
        // Runs the close branch of the port button before returning; nothing
        // after it may touch the counters of the next opening.
        ClickPortToggle();
        return;
    }

    if (CountDown(firstContactCountdown)) {
        ShowNoAnswerMessage();
        ReleasePort();
    }
}

void OnHeartbeatReply()
{
    if (linkCountdown.load() == 0) {
        SetStatusText(texts::Connected);
    }
    firstContactCountdown.store(0);
    linkCountdown.store(LinkTimeoutTicks);
}

void MarkLinkAlive()
{
    linkCountdown.store(LinkTimeoutTicks);
    firstContactCountdown.store(0);
}

void CancelFirstContact()
{
    firstContactCountdown.store(0);
}
