#include "cli/device_link.h"

#include <cstring>

#include "cli/interrupt.h"
#include "cli/port_selector.h"
#include "cli/ports.h"

namespace {

void CopyText(const char* text, char* out, size_t capacity)
{
    std::strncpy(out, text, capacity - 1);
    out[capacity - 1] = '\0';
}

// The reply handler (assembler thread).
void TakeReply(void* context, const Reply& reply)
{
    DeviceLink& link = *static_cast<DeviceLink*>(context);
    const uint8_t request = static_cast<uint8_t>(reply.code - 1);
    EnterLock(link.lock);
    if (reply.status != 0) {
        link.slots[request].refused = true;
        link.slots[request].status = reply.status;
    } else if (reply.code == ReplyCode(GetNetConfig)) {
        link.netConfig = reply.config;
    } else if (reply.code == ReplyCode(GetAdminPassword)) {
        CopyText(reply.text, link.password.data(), link.password.size());
    } else if (reply.code == ReplyCode(RunShellCommand)) {
        // A full queue holds the assembler until the command's thread takes
        // a line, as the dialog's synchronous calls hold it.
        while (link.lineCount == LineSlots && !link.ending) {
            LeaveLock(link.lock);
            WaitWakeup(link.lineTaken, WaitForever);
            EnterLock(link.lock);
        }
        if (link.lineCount < LineSlots) {
            CopyText(reply.text, link.lines[(link.firstLine + link.lineCount) % LineSlots].data(),
                     MaxReplyTextBytes + 1);
            ++link.lineCount;
        }
    }
    if (reply.status == 0)
        link.slots[request].accepted = true;
    LeaveLock(link.lock);
    SignalWakeup(link.replyArrived);
}

// The reader's word that the port's adapter is gone (reader thread). A word
// about an opening before the last one comes too late to count.
void TakeRemoval(void* context, const Result& why, uint32_t opening)
{
    DeviceLink& link = *static_cast<DeviceLink*>(context);
    EnterLock(link.lock);
    if (opening == link.opening) {
        link.removed = true;
        link.removal = why;
    }
    LeaveLock(link.lock);
    SignalWakeup(link.replyArrived);
}

void TraceRequest(void* context, const uint8_t* frame, uint32_t total)
{
    TraceFrame(static_cast<DeviceLink*>(context)->trace, "TX", frame, total);
}

void TraceReply(void* context, const uint8_t* frame, uint32_t total)
{
    TraceFrame(static_cast<DeviceLink*>(context)->trace, "RX", frame, total);
}

void TraceOpened(void* context)
{
    DeviceLink& link = *static_cast<DeviceLink*>(context);
    TraceNote(link.trace, ("opened " + link.openedAs).c_str());
}

// Waits until `done` holds (checked under the lock), `timeoutMs` ran out,
// Ctrl+C was pressed or the adapter went away.
template <typename Done>
bool WaitUntil(DeviceLink& link, int timeoutMs, Done done)
{
    const int64_t deadline = MonotonicMicroseconds() + int64_t{timeoutMs} * 1000;
    for (;;) {
        EnterLock(link.lock);
        const bool held = done();
        const bool removed = link.removed;
        LeaveLock(link.lock);
        const int64_t left = deadline - MonotonicMicroseconds();
        if (held || removed || left <= 0 || Interrupted())
            return held;
        WaitWakeup(link.replyArrived, static_cast<uint32_t>((left + 999) / 1000));
    }
}

}  // namespace

Result StartLink(DeviceLink& link, const SupervisionHost& supervision)
{
    Result made = MakeLock(link.lock);
    if (Succeeded(made))
        made = MakeWakeup(link.replyArrived);
    if (Succeeded(made))
        made = MakeWakeup(link.lineTaken);
    if (Succeeded(made)) {
        const SessionCallbacks callbacks{ReplyHandler{&link, TakeReply}, supervision,
                                         FrameTap{&link, TraceRequest, TraceReply, TraceOpened},
                                         RemovalSink{&link, TakeRemoval}};
        made = StartSession(link.session, callbacks);
    } else {
        made = Named(made, "the reply lock and wake-ups");
    }
    if (!Succeeded(made)) {
        DestroyWakeup(link.lineTaken);
        DestroyWakeup(link.replyArrived);
        DestroyLock(link.lock);
        return made;
    }
    WakeOnInterrupt(link.replyArrived);
    link.made = true;
    return Success;
}

void EndLink(DeviceLink& link)
{
    if (!link.made)
        return;
    EnterLock(link.lock);
    link.ending = true;
    LeaveLock(link.lock);
    SignalWakeup(link.lineTaken);
    StopWakingOnInterrupt(link.replyArrived);
    CloseLink(link);
    EndSession(link.session);
    DestroyWakeup(link.lineTaken);
    DestroyWakeup(link.replyArrived);
    DestroyLock(link.lock);
    link.made = false;
}

Result OpenLink(DeviceLink& link, const std::string& port, const std::string& selector, LinkOpening how)
{
    link.openedAs = PortAndSelector(port, selector);
    const std::string path = DevicePathOf(port);
    const Result result = how == LinkOpening::Supervised ? OpenDevice(link.session, path.c_str())
                                                         : OpenSessionPort(link.session, path.c_str());
    EnterLock(link.lock);
    link.opening = SessionPortOpenings(link.session);
    link.removed = false;
    LeaveLock(link.lock);
    link.portOpen = PortOpened(result);
    return result;
}

void CloseLink(DeviceLink& link)
{
    CloseSessionPort(link.session);
    if (link.portOpen)
        TraceNote(link.trace, "closed");
    link.portOpen = false;
}

void ExpectReply(DeviceLink& link, uint8_t request)
{
    EnterLock(link.lock);
    link.slots[request] = ReplySlot{};
    if (request == RunShellCommand)
        link.firstLine = link.lineCount = 0;
    LeaveLock(link.lock);
    SignalWakeup(link.lineTaken);
}

Answer AwaitReply(DeviceLink& link, uint8_t request, int timeoutMs, uint8_t* status)
{
    const ReplySlot& slot = link.slots[request];
    WaitUntil(link, timeoutMs, [&] { return slot.accepted || slot.refused; });
    EnterLock(link.lock);
    const ReplySlot seen = slot;
    LeaveLock(link.lock);
    if (status != nullptr)
        *status = seen.status;
    if (seen.accepted)
        return Answer::Accepted;
    if (seen.refused)
        return Answer::Refused;
    if (LinkRemoved(link))
        return Answer::Removed;
    return Interrupted() ? Answer::Interrupted : Answer::None;
}

bool LinkRemoved(DeviceLink& link, Result* why)
{
    EnterLock(link.lock);
    const bool removed = link.removed;
    if (why != nullptr)
        *why = link.removal;
    LeaveLock(link.lock);
    return removed;
}

NetConfig ReceivedNetConfig(DeviceLink& link)
{
    EnterLock(link.lock);
    const NetConfig config = link.netConfig;
    LeaveLock(link.lock);
    return config;
}

std::string ReceivedPassword(DeviceLink& link)
{
    EnterLock(link.lock);
    std::string password(link.password.data());
    LeaveLock(link.lock);
    return password;
}

bool NextOutputLine(DeviceLink& link, std::string& line, int waitMs)
{
    if (!WaitUntil(link, waitMs, [&] { return link.lineCount != 0; }))
        return false;
    EnterLock(link.lock);
    line = link.lines[link.firstLine].data();
    link.firstLine = (link.firstLine + 1) % LineSlots;
    --link.lineCount;
    LeaveLock(link.lock);
    SignalWakeup(link.lineTaken);
    return true;
}
