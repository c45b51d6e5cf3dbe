// The device's command set as the wire carries it: the six request codes,
// the reply code of each, the sizes of their payloads and the byte order of
// an address. One home for the client, the trace and the virtual device.
#pragma once

#include <cstdint>

#include "wire/frame_codec.h"

enum CommandCode : uint8_t {
    GetNetConfig = 0x01,
    SetNetConfig = 0x03,
    RunShellCommand = 0x05,
    Heartbeat = 0x07,
    GetAdminPassword = 0x09,
    SetAdminPassword = 0x0B,
};

// Each reply's code is its request's plus one; its first payload byte is
// the status, 0 meaning success.
constexpr uint8_t ReplyCode(uint8_t request) { return static_cast<uint8_t>(request + 1); }

constexpr bool IsRequestCode(uint8_t code)
{
    return code == GetNetConfig || code == SetNetConfig || code == RunShellCommand || code == Heartbeat ||
           code == GetAdminPassword || code == SetAdminPassword;
}

constexpr bool IsReplyCode(uint8_t code) { return code % 2 == 0 && IsRequestCode(static_cast<uint8_t>(code - 1)); }

// 0x03: DHCP flag, IP address, subnet mask, gateway, 8 bytes of zeros.
constexpr uint32_t NetConfigPayloadSize = 21;
constexpr uint32_t NetConfigDhcpAt = 0, NetConfigAddressesAt = 1;
// 0x02: status, DHCP flag, IP address, subnet mask, gateway.
constexpr uint32_t NetConfigReplySize = 14;
constexpr uint32_t NetConfigReplyDhcpAt = 1, NetConfigReplyAddressesAt = 2;
// 0x0B: the password in a field of 16 bytes, zero-padded, no terminator
// behind a password of 16.
constexpr uint32_t PasswordFieldSize = 16;
// 0x07: the two bytes every heartbeat carries.
constexpr uint8_t HeartbeatPayload[2] = {0x00, 0x03};
// 0x05: the command's text and its terminating zero fill at most a payload.
constexpr uint32_t MaxShellCommandBytes = MaxPayloadBytes - 1;   // 1015
// A text a reply carries behind its status byte, as the receiver can hold
// it (a device that leaves out the terminating zero included).
constexpr uint32_t MaxReplyTextBytes = MaxPayloadBytes - 1;   // 1015
// The longest text the device sends: status, text and its terminating zero.
constexpr uint32_t MaxSentTextBytes = MaxPayloadBytes - 2;   // 1014
// A password as a 0x0A reply yields it to the front ends, and as the device
// keeps it; a longer text is cut here.
constexpr uint32_t MaxPasswordTextBytes = 99;

// Addresses hold the first dotted field in the most significant byte, as the
// IP-address controls give and take them and as the wire carries them.
struct NetConfig {
    bool dhcp;
    uint32_t ipAddress;
    uint32_t subnetMask;
    uint32_t gateway;
};

inline void PutAddress(uint8_t* out, uint32_t address)
{
    out[0] = static_cast<uint8_t>(address >> 24);
    out[1] = static_cast<uint8_t>((address >> 16) & 0xFF);
    out[2] = static_cast<uint8_t>((address >> 8) & 0xFF);
    out[3] = static_cast<uint8_t>(address & 0xFF);
}

inline uint32_t GetAddress(const uint8_t* in)
{
    return static_cast<uint32_t>(in[0]) << 24 | static_cast<uint32_t>(in[1]) << 16 |
           static_cast<uint32_t>(in[2]) << 8 | static_cast<uint32_t>(in[3]);
}
