// The device client: the six requests a front end sends, and the one entry
// point through which every reply frame of a session is checked, decoded and
// handed to the front end. Senders build one whole frame and write it to the
// client's port in one call, on the caller's thread. HandleReplyFrame runs
// on the session's assembler thread. The client knows nothing of the link
// supervision: it tells the session what each frame was (ReplyVerdict), and
// the session passes that on.
#pragma once

#include <cstdint>

#include "link/serial_port.h"
#include "wire/codes.h"

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
// request just before it is written, every frame handed to
// HandleReplyFrame before anything is checked, and each opening of the port
// before any request follows it. Any call may be null.
struct FrameTap {
    void* context;
    void (*request)(void* context, const uint8_t* frame, uint32_t total);
    void (*reply)(void* context, const uint8_t* frame, uint32_t total);
    void (*opened)(void* context);
};

// One port's client: where requests go and replies are handed. Set when
// the session starts, then only read.
struct DeviceClient {
    SerialPort* port = nullptr;
    ReplyHandler replies{};
    FrameTap tap{};
};

Result SendGetNetConfig(DeviceClient& client);
Result SendSetNetConfig(DeviceClient& client, bool dhcp, uint32_t ipAddress, uint32_t subnetMask, uint32_t gateway);
// At most MaxShellCommandBytes bytes; a longer text is refused whole
// (TooLong), since half a command could still run.
Result SendShellCommand(DeviceClient& client, const char* text);
Result SendHeartbeat(DeviceClient& client);
Result SendGetAdminPassword(DeviceClient& client);
// Only the first 16 bytes are sent.
Result SendSetAdminPassword(DeviceClient& client, const char* text);

// What a frame turned out to be: a reply of the six (accepted or refused,
// and handed to the front end), or nothing that counts.
struct ReplyVerdict {
    bool reply;
    uint8_t code;
    uint8_t status;
};

// `frame` points at the first start byte of one whole frame of `total` bytes
// (declared payload length + 8, at most MaxFrameBytes).
ReplyVerdict HandleReplyFrame(DeviceClient& client, const uint8_t* frame, uint32_t total);
