// The device client: the six requests a front end sends, and the one entry
// point through which every reply frame of a session is checked, decoded and
// handed to the front end. Senders build one whole frame and write it to the
// session's port in one call, on the caller's thread. HandleReplyFrame runs
// on the session's assembler thread.
#pragma once

#include <cstdint>

#include "link/serial_port.h"
#include "wire/codes.h"

struct Session;

// A reply as the front end receives it: accepted ones (status 0) and refused
// ones alike, with their content decoded. Frames with a bad checksum, a code
// outside the six replies, no status byte or (for 0x02) too short a payload
// carry no reply and are dropped.
struct Reply {
    uint8_t code;       // the reply's code: its request's plus one
    uint8_t status;     // 0: the device accepted the request
    NetConfig config;   // 0x02, accepted: the settings (addresses 0 with DHCP on)
    const char* text;   // 0x06 and 0x0A, accepted: the text as GBK, terminated; else ""
};

// The front end's side: called once per reply, on the assembler thread, one
// at a time; the next reply is dispatched only when it has returned. `text`
// is valid during the call only.
struct ReplyHandler {
    void* context;
    void (*reply)(void* context, const Reply& reply);
};

// Frame observation for a front end that keeps a protocol trace: every
// request just before it is written, and every frame handed to
// HandleReplyFrame before anything is checked. Either call may be null.
struct FrameTap {
    void* context;
    void (*request)(void* context, const uint8_t* frame, uint32_t total);
    void (*reply)(void* context, const uint8_t* frame, uint32_t total);
};

// The longest text a password reply yields: what the dialog's buffer holds.
constexpr uint32_t MaxPasswordReplyBytes = 99;

WriteResult SendGetNetConfig(Session& session);
WriteResult SendSetNetConfig(Session& session, bool dhcp, uint32_t ipAddress, uint32_t subnetMask,
                             uint32_t gateway);
// At most MaxShellCommandBytes bytes; a longer text is refused whole
// (TooLong), since half a command could still run.
WriteResult SendShellCommand(Session& session, const char* text);
WriteResult SendHeartbeat(Session& session);
WriteResult SendGetAdminPassword(Session& session);
// Only the first 16 bytes are sent.
WriteResult SendSetAdminPassword(Session& session, const char* text);

// `frame` points at the first start byte of one whole frame of `total` bytes
// (declared payload length + 8, at most 1024). Besides the front end, the
// link supervision hears of the replies that feed it.
void HandleReplyFrame(Session& session, const uint8_t* frame, uint32_t total);
