#include "session/session.h"

#include <atomic>

namespace {

std::atomic<int> liveSessions{0};

void TakeBytes(void* context, const uint8_t* bytes, uint32_t count, uint32_t opening)
{
    AppendBytes(static_cast<Session*>(context)->receiver, bytes, count, opening);
}

void TakeFrame(void* context, const uint8_t* frame, uint32_t total)
{
    HandleSessionFrame(*static_cast<Session*>(context), frame, total);
}

Result SendSessionHeartbeat(void* context)
{
    return SendHeartbeat(static_cast<Session*>(context)->client);
}

void ReaderEntry(void* context) { RunReader(static_cast<Session*>(context)->reader); }
void AssemblerEntry(void* context) { RunAssembler(static_cast<Session*>(context)->receiver); }

void Release(Session& s)
{
    DestroyReader(s.reader);
    DestroyReceiver(s.receiver);
    DestroySerialPort(s.port);
}

}  // namespace

void BindSession(Session& s, const SessionCallbacks& callbacks)
{
    s.client = DeviceClient{&s.port, callbacks.replies, callbacks.tap};
    s.supervision.host = callbacks.supervision;
    s.supervision.heartbeat = HeartbeatSender{&s, SendSessionHeartbeat};
}

void HandleSessionFrame(Session& s, const uint8_t* frame, uint32_t total)
{
    const ReplyVerdict verdict = HandleReplyFrame(s.client, frame, total);
    if (verdict.reply)
        FeedSupervision(s.supervision, verdict.code, verdict.status);
}

Result StartSession(Session& s, const SessionCallbacks& callbacks, const PlatformCalls& platform)
{
    BindSession(s, callbacks);
    Result made = Named(MakeSerialPort(s.port), "the port's wake-up");
    if (Succeeded(made))
        made = Named(MakeReceiver(s.receiver, FrameSink{&s, TakeFrame}, platform), "the receiver's lock and wake-up");
    if (Succeeded(made))
        made = Named(MakeReader(s.reader, s.port, ByteSink{&s, TakeBytes}), "the reader's event");
    s.reader.removal = callbacks.removal;
    if (Succeeded(made))
        made = Named(StartThread(s.readerThread, ReaderEntry, &s), "the reader thread");
    if (!Succeeded(made)) {
        Release(s);
        return made;
    }
    made = Named(StartThread(s.assemblerThread, AssemblerEntry, &s), "the assembler thread");
    if (!Succeeded(made)) {
        StopReader(s.reader);
        JoinThread(s.readerThread);
        Release(s);
        return made;
    }
    s.started = true;
    liveSessions.fetch_add(1);
    return Success;
}

// The port goes first: closing it ends the reader's wait for bytes, and
// StopReader then ends its wait for an opening.
void EndSession(Session& s)
{
    if (!s.started)
        return;
    ClosePort(s.port);
    StopReader(s.reader);
    StopAssembler(s.receiver);
    JoinThread(s.readerThread);
    JoinThread(s.assemblerThread);
    Release(s);
    s.started = false;
    liveSessions.fetch_sub(1);
}

Result OpenSessionPort(Session& s, const char* path)
{
    const Result opened = OpenPort(s.port, path);
    const FrameTap& tap = s.client.tap;
    if (PortOpened(opened) && tap.opened)
        tap.opened(tap.context);
    return opened;
}

Result OpenDevice(Session& s, const char* path)
{
    const Result opened = OpenSessionPort(s, path);
    if (!PortOpened(opened))
        return opened;
    StartSupervision(s.supervision);
    SendGetNetConfig(s.client);
    SendGetAdminPassword(s.client);
    return opened;
}

void CloseSessionPort(Session& s) { ClosePort(s.port); }

uint32_t SessionPortOpenings(const Session& s) { return PortOpenings(s.port); }

void TickSession(Session& s) { OnSupervisionTick(s.supervision); }

Result SendGetNetConfig(Session& s) { return SendGetNetConfig(s.client); }

Result SendSetNetConfig(Session& s, bool dhcp, uint32_t ipAddress, uint32_t subnetMask, uint32_t gateway)
{
    return SendSetNetConfig(s.client, dhcp, ipAddress, subnetMask, gateway);
}

Result SendShellCommand(Session& s, const char* text) { return SendShellCommand(s.client, text); }
Result SendGetAdminPassword(Session& s) { return SendGetAdminPassword(s.client); }
Result SendSetAdminPassword(Session& s, const char* text) { return SendSetAdminPassword(s.client, text); }

int LiveSessions() { return liveSessions.load(); }
