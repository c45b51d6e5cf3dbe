#include "session/device_client.h"

#include <array>

namespace {

constexpr uint32_t FixedFrameBufferSize = 32;   // the largest fixed request is 29 bytes

// Each request goes out as one WritePort call, so two requests never
// interleave on the wire even if a later caller were on another thread.
Result WriteFrame(DeviceClient& client, const uint8_t* frame, uint32_t total)
{
    const FrameTap& tap = client.tap;
    if (tap.request != nullptr)
        tap.request(tap.context, frame, total);
    return WritePort(*client.port, frame, total);
}

Result SendFrame(DeviceClient& client, uint8_t code, const uint8_t* payload, uint16_t payloadLength)
{
    std::array<uint8_t, FixedFrameBufferSize> frame{};
    const uint32_t total = BuildFrame(code, payload, payloadLength, frame.data(), frame.size());
    return WriteFrame(client, frame.data(), total);
}

// The device ends its texts with a 0x00, but a frame that does not is still
// never read past: the text then ends with the payload. At most `capacity - 1`
// bytes are kept so the result is always terminated inside `out`.
void CopyReplyText(const uint8_t* payload, uint32_t payloadLength, char* out, uint32_t capacity)
{
    uint32_t n = 0;
    for (uint32_t i = 1; i < payloadLength && n + 1 < capacity && payload[i] != 0; ++i)
        out[n++] = static_cast<char>(payload[i]);
    out[n] = '\0';
}

// False for a 0x02 that cannot be read: with DHCP off the three addresses
// must all be there, or the front end would show bytes the device never sent.
bool DecodeNetConfig(const uint8_t* payload, uint32_t payloadLength, NetConfig& config)
{
    if (payloadLength <= NetConfigReplyDhcpAt)
        return false;
    config = NetConfig{payload[NetConfigReplyDhcpAt] != 0, 0, 0, 0};
    if (config.dhcp)
        return true;
    if (payloadLength < NetConfigReplySize)
        return false;
    const uint8_t* addresses = payload + NetConfigReplyAddressesAt;
    config.ipAddress = GetAddress(addresses);
    config.subnetMask = GetAddress(addresses + 4);
    config.gateway = GetAddress(addresses + 8);
    return true;
}

}  // namespace

Result SendGetNetConfig(DeviceClient& client)
{
    return SendFrame(client, GetNetConfig, nullptr, 0);
}

Result SendSetNetConfig(DeviceClient& client, bool dhcp, uint32_t ipAddress, uint32_t subnetMask, uint32_t gateway)
{
    std::array<uint8_t, NetConfigPayloadSize> payload{};
    if (dhcp) {
        // The device takes its addresses from the DHCP server; whatever the
        // caller holds in the address controls is not sent.
        payload[NetConfigDhcpAt] = 0x01;
    } else {
        PutAddress(&payload[NetConfigAddressesAt], ipAddress);
        PutAddress(&payload[NetConfigAddressesAt + 4], subnetMask);
        PutAddress(&payload[NetConfigAddressesAt + 8], gateway);
    }
    return SendFrame(client, SetNetConfig, payload.data(), static_cast<uint16_t>(payload.size()));
}

Result SendShellCommand(DeviceClient& client, const char* text)
{
    if (text == nullptr)
        return Failure(Status::NoText, "no command");
    // Count no further than one byte past the limit.
    uint32_t count = 0;
    while (count <= MaxShellCommandBytes && text[count] != '\0')
        ++count;
    if (count > MaxShellCommandBytes)
        return Failure(Status::TooLong, "the command");
    std::array<uint8_t, MaxFrameBytes> frame;
    // The text's own terminator is part of the payload.
    const uint32_t total = BuildFrame(RunShellCommand, reinterpret_cast<const uint8_t*>(text),
                                      static_cast<uint16_t>(count + 1), frame.data(), frame.size());
    return WriteFrame(client, frame.data(), total);
}

Result SendHeartbeat(DeviceClient& client)
{
    return SendFrame(client, Heartbeat, HeartbeatPayload, sizeof HeartbeatPayload);
}

Result SendGetAdminPassword(DeviceClient& client)
{
    return SendFrame(client, GetAdminPassword, nullptr, 0);
}

Result SendSetAdminPassword(DeviceClient& client, const char* text)
{
    if (text == nullptr)
        return Failure(Status::NoText, "no password");
    // strncpy semantics with a count of 16: zero padding behind a short
    // password, no terminator behind a 16-byte one, nothing past the 16th.
    // Written out because compilers rightly warn about a strncpy whose bound
    // is the whole field, and here the missing terminator is the format.
    std::array<uint8_t, PasswordFieldSize> field{};
    for (uint32_t i = 0; i < PasswordFieldSize && text[i] != '\0'; ++i)
        field[i] = static_cast<uint8_t>(text[i]);
    return SendFrame(client, SetAdminPassword, field.data(), static_cast<uint16_t>(field.size()));
}

ReplyVerdict HandleReplyFrame(DeviceClient& client, const uint8_t* frame, uint32_t total)
{
    constexpr ReplyVerdict NoReply{false, 0, 0};
    if (frame == nullptr || total < FrameOverhead || total > MaxFrameBytes)
        return NoReply;
    if (client.tap.reply != nullptr)
        client.tap.reply(client.tap.context, frame, total);
    const uint8_t code = FrameCode(frame);
    const uint8_t* payload = FramePayload(frame);
    const uint32_t payloadLength = total - FrameOverhead;
    // A reply without payload has no status byte to read: it cannot say
    // whether the request succeeded.
    if (!CheckFrame(frame, total) || !IsReplyCode(code) || payloadLength == 0)
        return NoReply;

    Reply reply{code, payload[0], NetConfig{}, ""};
    std::array<char, MaxReplyTextBytes + 1> text;
    if (reply.status == 0) {
        if (code == ReplyCode(GetNetConfig) && !DecodeNetConfig(payload, payloadLength, reply.config))
            return NoReply;
        if (code == ReplyCode(RunShellCommand) || code == ReplyCode(GetAdminPassword)) {
            // A password longer than the front end's buffer is cut; the reply
            // still counts as the device's answer.
            const uint32_t limit = code == ReplyCode(GetAdminPassword) ? MaxPasswordTextBytes + 1 : text.size();
            CopyReplyText(payload, payloadLength, text.data(), limit);
            reply.text = text.data();
        }
    }
    if (client.replies.reply != nullptr)
        client.replies.reply(client.replies.context, reply);
    return ReplyVerdict{true, code, reply.status};
}
