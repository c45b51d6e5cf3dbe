// Link supervision. The tick and the reply operations meet only in the three
// atomic counters; the tick never holds anything while it calls its host,
// because noFirstAnswer may run a modal loop in which further ticks and
// replies are handled.
#include "session/link_supervisor.h"

#include "wire/codes.h"

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

void Call(const SupervisionHost& host, void (*operation)(void*))
{
    if (operation != nullptr)
        operation(host.context);
}

// An accepted 0x08: "connected" unless a link was already being timed.
void OnHeartbeatReply(LinkSupervisor& s)
{
    if (s.linkCountdown.load() == 0)
        Call(s.host, s.host.linkUp);
    s.firstContactCountdown.store(0);
    s.linkCountdown.store(LinkTimeoutTicks);
}

void MarkLinkAlive(LinkSupervisor& s)
{
    s.linkCountdown.store(LinkTimeoutTicks);
    s.firstContactCountdown.store(0);
}

}  // namespace

// Each opening starts clean: a link countdown left by an earlier opening
// would keep the first heartbeat reply from showing "connected" and would
// be re-armed by it, so the status could stay "not connected" for good
// while the device answers.
void StartSupervision(LinkSupervisor& s)
{
    s.heartbeatTicks.store(0);
    s.linkCountdown.store(0);
    s.firstContactCountdown.store(FirstContactTicks);
}

void OnSupervisionTick(LinkSupervisor& s)
{
    const SupervisionHost& host = s.host;
    // Only this thread writes heartbeatTicks once the port is open, so a
    // plain read-modify-write is enough here.
    const uint32_t ticks = s.heartbeatTicks.load() + 1;
    if (ticks >= HeartbeatEveryTicks) {
        s.heartbeatTicks.store(0);
        // A heartbeat that cannot be written is missed like a lost reply.
        if (s.heartbeat.send != nullptr)
            s.heartbeat.send(s.heartbeat.context);
    } else {
        s.heartbeatTicks.store(ticks);
    }

    if (CountDown(s.linkCountdown)) {
        // The host closes the port before returning; nothing after it may
        // touch the counters of the next opening.
        Call(host, host.linkLost);
        return;
    }

    if (CountDown(s.firstContactCountdown)) {
        Call(host, host.noFirstAnswer);
        Call(host, host.releasePort);
    }
}

// Only accepted replies count: a refusal proves the device alive but is
// not the answer the link waits for.
void FeedSupervision(LinkSupervisor& s, uint8_t replyCode, uint8_t status)
{
    if (status != 0)
        return;
    switch (replyCode) {
    case ReplyCode(GetNetConfig):
        s.firstContactCountdown.store(0);
        break;
    case ReplyCode(GetAdminPassword):
        // "Connected" whatever the countdown holds, before it is re-armed.
        Call(s.host, s.host.linkUp);
        MarkLinkAlive(s);
        break;
    case ReplyCode(Heartbeat):
        OnHeartbeatReply(s);
        break;
    default:
        break;
    }
}
