// The device client: the six requests the utility sends and the one entry
// point through which every reply is checked and dispatched.
//
// Senders build one whole frame and hand it to WritePort in one call; they
// run on the user-interface thread. HandleReplyFrame runs on the assembler
// thread and calls the reply operations of the dialog and the supervision.
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
