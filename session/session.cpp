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
    HandleReplyFrame(*static_cast<Session*>(context), frame, total);
}

void ReaderEntry(void* context) { RunReader(static_cast<Session*>(context)->reader); }
void AssemblerEntry(void* context) { RunAssembler(static_cast<Session*>(context)->receiver); }

bool Fail(SessionError* why, const char* what, int32_t osError)
{
    if (why != nullptr)
        *why = SessionError{what, osError};
    return false;
}

void Release(Session& s)
{
    DestroyReader(s.reader);
    DestroyReceiver(s.receiver);
    DestroySerialPort(s.port);
}

}  // namespace

bool StartSession(Session& s, const SessionCallbacks& callbacks, SessionError* why, const PlatformCalls& platform)
{
    s.callbacks = callbacks;
    int32_t error = 0;
    if (!MakeSerialPort(s.port, &error))
        return Fail(why, "the port's wake-up", error);
    if (!MakeReceiver(s.receiver, FrameSink{&s, TakeFrame}, platform, &error)) {
        Release(s);
        return Fail(why, "the receiver's lock and wake-up", error);
    }
    if (!MakeReader(s.reader, s.port, ByteSink{&s, TakeBytes}, &error)) {
        Release(s);
        return Fail(why, "the reader's event", error);
    }
    if (!StartThread(s.readerThread, ReaderEntry, &s, &error)) {
        Release(s);
        return Fail(why, "the reader thread", error);
    }
    if (!StartThread(s.assemblerThread, AssemblerEntry, &s, &error)) {
        StopReader(s.reader);
        JoinThread(s.readerThread);
        Release(s);
        return Fail(why, "the assembler thread", error);
    }
    s.started = true;
    liveSessions.fetch_add(1);
    return true;
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

int LiveSessions() { return liveSessions.load(); }
