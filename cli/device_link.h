// One port's conversation with a device, for quorvane-cli: a session of the
// core, and the replies its reply handler receives on the assembler thread,
// kept for the command's thread to wait for and take. Fixed buffers: the
// assembler thread allocates nothing.
//
// Threads and ownership: everything under `lock` is written by the
// assembler thread (replies) or the reader thread (a removal) and read and
// reset by the command's thread;
// replyArrived wakes the command's thread, lineTaken the assembler thread
// when it waits for room in a full line queue.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "cli/trace_file.h"
#include "session/session.h"

// Removed: the port's adapter went away while the answer was awaited.
enum class Answer { Accepted, Refused, None, Interrupted, Removed };

constexpr size_t LineSlots = 32;
constexpr size_t RequestSlots = SetAdminPassword + 1;

struct ReplySlot {
    bool accepted;
    bool refused;
    uint8_t status;
};

struct DeviceLink {
    Session session;
    TraceFile trace;
    Lock lock;
    Wakeup replyArrived;
    Wakeup lineTaken;
    std::array<ReplySlot, RequestSlots> slots{};
    NetConfig netConfig{};
    std::array<char, MaxPasswordTextBytes + 1> password{};
    std::array<std::array<char, MaxReplyTextBytes + 1>, LineSlots> lines{};
    size_t firstLine = 0;
    size_t lineCount = 0;
    std::string openedAs;  // the trace's note of the opening: the port and its selector (command's thread)
    bool ending = false;   // EndLink: a full line queue no longer holds the assembler
    uint32_t opening = 0;  // the port's opening this link opened last (OpenLink)
    bool removed = false;  // that opening's adapter went away (reader thread), with `removal` why
    Result removal{};
    bool made = false;
    bool portOpen = false;   // OpenLink opened it and CloseLink has not yet let it go
};

// A removal wakes whoever waits on replyArrived at once (AwaitReply, watch's
// tick): the adapter is named gone within the second.
//
// Starts the link's session, with `supervision` as the host of its link
// supervision (watch) or none; the trace, if any, must already be open.
// Fails with the reason, and nothing left behind.
Result StartLink(DeviceLink& link, const SupervisionHost& supervision);
void EndLink(DeviceLink& link);

// Plain: the command writes its own requests. Supervised (watch): the
// session arms its supervision and asks for the settings and the password.
enum class LinkOpening { Plain, Supervised };

// Opens PORT ("COM3", a device path) in the link's session; the trace
// notes the opening (with the selector it was named by, if any) and the
// closing, which EndLink does too.
Result OpenLink(DeviceLink& link, const std::string& port, const std::string& selector = "",
                LinkOpening how = LinkOpening::Plain);
void CloseLink(DeviceLink& link);

// Forgets what an earlier reply to `request` left; call before sending it.
void ExpectReply(DeviceLink& link, uint8_t request);

// Waits until the device accepted or refused `request`, at most `timeoutMs`
// and not past Ctrl+C; `status` gets the status of a refusal.
Answer AwaitReply(DeviceLink& link, uint8_t request, int timeoutMs, uint8_t* status = nullptr);

// Whether the adapter of the port opened last went away, and why.
bool LinkRemoved(DeviceLink& link, Result* why = nullptr);

NetConfig ReceivedNetConfig(DeviceLink& link);
std::string ReceivedPassword(DeviceLink& link);   // GBK

// The next output line of a shell command (GBK), waiting at most `waitMs`
// and not past Ctrl+C or the adapter's removal.
bool NextOutputLine(DeviceLink& link, std::string& line, int waitMs);
