// Link supervision. The tick and the reply operations meet only in the three
// atomic counters; the tick never holds anything while it calls its host,
// because noFirstAnswer may run a modal loop in which further ticks and
// replies are handled.
#include "session/link_supervisor.h"

#include "session/session.h"
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

}  // namespace

// Each opening starts clean: a link countdown left by an earlier opening
// would keep the first heartbeat reply from showing "connected" and would
// be re-armed by it, so the status could stay "not connected" for good
// while the device answers.
void StartSupervision(Session& session)
{
    LinkSupervisor& s = session.supervision;
    s.heartbeatTicks.store(0);
    s.linkCountdown.store(0);
    s.firstContactCountdown.store(FirstContactTicks);
}

void OnSupervisionTick(Session& session)
{
    LinkSupervisor& s = session.supervision;
    const SupervisionHost& host = session.callbacks.supervision;
    // Only this thread writes heartbeatTicks once the port is open, so a
    // plain read-modify-write is enough here.
    const uint32_t ticks = s.heartbeatTicks.load() + 1;
    if (ticks >= HeartbeatEveryTicks) {
        s.heartbeatTicks.store(0);
        SendHeartbeat(session);   // a heartbeat that cannot be written is missed like a lost reply
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

void OnHeartbeatReply(Session& session)
{
    LinkSupervisor& s = session.supervision;
    if (s.linkCountdown.load() == 0)
        Call(session.callbacks.supervision, session.callbacks.supervision.linkUp);
    s.firstContactCountdown.store(0);
    s.linkCountdown.store(LinkTimeoutTicks);
}

void MarkLinkAlive(Session& session)
{
    session.supervision.linkCountdown.store(LinkTimeoutTicks);
    session.supervision.firstContactCountdown.store(0);
}

void CancelFirstContact(Session& session)
{
    session.supervision.firstContactCountdown.store(0);
}

void FeedSupervision(Session& session, uint8_t replyCode)
{
    switch (replyCode) {
    case ReplyCode(GetNetConfig):
        CancelFirstContact(session);
        break;
    case ReplyCode(GetAdminPassword):
        // "Connected" whatever the countdown holds, before it is re-armed.
        Call(session.callbacks.supervision, session.callbacks.supervision.linkUp);
        MarkLinkAlive(session);
        break;
    case ReplyCode(Heartbeat):
        OnHeartbeatReply(session);
        break;
    default:
        break;
    }
}
