// The device client: the six requests the utility sends and the one entry
// point through which every reply is checked and dispatched.
//
// Senders build one whole frame and hand it to WritePort in one call; they
// run on the user-interface thread. HandleReplyFrame runs on the assembler
// thread and calls the reply operations declared at the end of this header,
// which the front end that is linked (the dialog, or quorvane-cli) defines.
#pragma once

#include <cstdint>

enum CommandCode : uint8_t {
    GetNetConfig = 0x01,
    SetNetConfig = 0x03,
    RunShellCommand = 0x05,
    Heartbeat = 0x07,
    GetAdminPassword = 0x09,
    SetAdminPassword = 0x0B,
};

constexpr uint8_t ReplyCode(uint8_t request) { return static_cast<uint8_t>(request + 1); }

constexpr uint32_t PasswordFieldSize = 16;
constexpr uint32_t PasswordBufferSize = 100;     // reply text: at most 99 bytes + 0
constexpr uint32_t NetConfigPayloadSize = 21;
constexpr uint32_t ShellFrameBufferSize = 1024;
constexpr uint32_t MaxShellCommandBytes = ShellFrameBufferSize - 9;   // 1015

// Addresses hold the first dotted field in the most significant byte, as the
// IP-address controls give and take them and as the wire carries them.
struct NetConfig {
    bool dhcp;
    uint32_t ipAddress;
    uint32_t subnetMask;
    uint32_t gateway;
};

void SendGetNetConfig();
void SendSetNetConfig(bool dhcp, uint32_t ipAddress, uint32_t subnetMask, uint32_t gateway);
void SendShellCommand(const char* text);     // at most MaxShellCommandBytes bytes
void SendHeartbeat();
void SendGetAdminPassword();
void SendSetAdminPassword(const char* text); // only the first 16 bytes are sent

// `frame` points at the first start byte of one whole frame of `total` bytes
// (declared payload length + 8, at most 1024).
void HandleReplyFrame(const uint8_t* frame, uint32_t total);

// Reply operations: what a front end does with an accepted reply (checksum
// good, status 0). They run on the assembler thread, one at a time, and the
// next reply is dispatched only when the operation has returned. The dialog
// implements them in ui/ (OnHeartbeatReply in the link supervision), the
// command-line program in app/cli/; tests bind recording fakes.
void ShowNetConfig(const NetConfig& config);
void AppendOutputLine(const char* text);
void ShowAdminPassword(const char* text);
// `text` is one of the notices of protocol/notice_texts.h.
void ShowNotice(const char* text);
void OnHeartbeatReply();

// Frame observation for a front end that keeps a protocol trace: every
// request just before it goes to WritePort, and every frame handed to
// HandleReplyFrame before anything is checked. The silent pair in
// protocol/frame_tap_none.cpp is linked unless the program defines its own.
void OnRequestFrame(const uint8_t* frame, uint32_t total);
void OnReplyFrame(const uint8_t* frame, uint32_t total);
