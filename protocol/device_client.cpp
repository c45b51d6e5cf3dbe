#include "protocol/device_client.h"

#include <array>

#include "link/frame_codec.h"
#include "link/serial_port.h"
#include "protocol/notice_texts.h"

namespace {

constexpr uint32_t FixedFrameBufferSize = 32;   // the largest fixed request is 29 bytes
constexpr uint32_t ShellTextBufferSize = MaxReceivedPayload + 1;   // 1015 text bytes + 0
constexpr uint32_t NetConfigReplyBytes = 14;    // status, DHCP flag, three addresses

// Each request goes out as one WritePort call, so two requests never
// interleave on the wire even if a later caller were on another thread.
void SendFrame(uint8_t code, const uint8_t* payload, uint16_t payloadLength)
{
    std::array<uint8_t, FixedFrameBufferSize> frame{};
    const uint32_t total = BuildFrame(code, payload, payloadLength, frame.data(), frame.size());
    if (total != 0) {
        OnRequestFrame(frame.data(), total);
        WritePort(frame.data(), total);
    }
}

void PutAddress(uint8_t* out, uint32_t address)
{
    out[0] = static_cast<uint8_t>(address >> 24);
    out[1] = static_cast<uint8_t>((address >> 16) & 0xFF);
    out[2] = static_cast<uint8_t>((address >> 8) & 0xFF);
    out[3] = static_cast<uint8_t>(address & 0xFF);
}

uint32_t GetAddress(const uint8_t* in)
{
    return static_cast<uint32_t>(in[0]) << 24 | static_cast<uint32_t>(in[1]) << 16 |
           static_cast<uint32_t>(in[2]) << 8 | static_cast<uint32_t>(in[3]);
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

void HandleNetConfigReply(const uint8_t* payload, uint32_t payloadLength)
{
    if (payloadLength < 2)
        return;
    NetConfig config{};
    config.dhcp = payload[1] != 0;
    if (!config.dhcp) {
        // With DHCP off the three addresses must all be there; a shorter
        // reply would show addresses made of bytes the device never sent.
        if (payloadLength < NetConfigReplyBytes)
            return;
        config.ipAddress = GetAddress(payload + 2);
        config.subnetMask = GetAddress(payload + 6);
        config.gateway = GetAddress(payload + 10);
    }
    ShowNetConfig(config);
}

}  // namespace

void SendGetNetConfig()
{
    SendFrame(GetNetConfig, nullptr, 0);
}

void SendSetNetConfig(bool dhcp, uint32_t ipAddress, uint32_t subnetMask, uint32_t gateway)
{
    std::array<uint8_t, NetConfigPayloadSize> payload{};
    if (dhcp) {
        // The device takes its addresses from the DHCP server; whatever the
        // caller holds in the address controls is not sent.
        payload[0] = 0x01;
    } else {
        PutAddress(&payload[1], ipAddress);
        PutAddress(&payload[5], subnetMask);
        PutAddress(&payload[9], gateway);
    }
    SendFrame(SetNetConfig, payload.data(), static_cast<uint16_t>(payload.size()));
}

void SendShellCommand(const char* text)
{
    if (text == nullptr)
        return;
    // Count no further than one byte past the limit: a longer text is
    // refused whole rather than cut, since half a command could still run.
    uint32_t count = 0;
    while (count <= MaxShellCommandBytes && text[count] != '\0')
        ++count;
    if (count > MaxShellCommandBytes)
        return;
    std::array<uint8_t, ShellFrameBufferSize> frame;
    // The text's own terminator is part of the payload.
    const uint32_t total = BuildFrame(RunShellCommand, reinterpret_cast<const uint8_t*>(text),
                                      static_cast<uint16_t>(count + 1), frame.data(), frame.size());
    if (total != 0) {
        OnRequestFrame(frame.data(), total);
        WritePort(frame.data(), total);
    }
}

void SendHeartbeat()
{
    static constexpr std::array<uint8_t, 2> payload{0x00, 0x03};
    SendFrame(Heartbeat, payload.data(), static_cast<uint16_t>(payload.size()));
}

void SendGetAdminPassword()
{
    SendFrame(GetAdminPassword, nullptr, 0);
}

void SendSetAdminPassword(const char* text)
{
    if (text == nullptr)
        return;
    // strncpy semantics with a count of 16: zero padding behind a short
    // password, no terminator behind a 16-byte one, nothing past the 16th.
    // Written out because compilers rightly warn about a strncpy whose bound
    // is the whole field, and here the missing terminator is the format.
    std::array<uint8_t, PasswordFieldSize> field{};
    for (uint32_t i = 0; i < PasswordFieldSize && text[i] != '\0'; ++i)
        field[i] = static_cast<uint8_t>(text[i]);
    SendFrame(SetAdminPassword, field.data(), static_cast<uint16_t>(field.size()));
}

void HandleReplyFrame(const uint8_t* frame, uint32_t total)
{
    if (frame == nullptr || total < FrameOverhead || total > MaxReceivedFrame)
        return;
    OnReplyFrame(frame, total);
    if (!CheckFrame(frame, total))
        return;
    const uint8_t code = frame[2];
    switch (code) {
    case ReplyCode(GetNetConfig):
    case ReplyCode(SetNetConfig):
    case ReplyCode(RunShellCommand):
    case ReplyCode(Heartbeat):
    case ReplyCode(GetAdminPassword):
    case ReplyCode(SetAdminPassword):
        break;
    default:
        return;
    }
    const uint8_t* payload = frame + FrameHeaderSize;
    const uint32_t payloadLength = total - FrameOverhead;
    // A reply without payload has no status byte to read: it cannot say
    // that the request succeeded.
    if (payloadLength == 0 || payload[0] != 0x00)
        return;

    switch (code) {
    case ReplyCode(GetNetConfig):
        HandleNetConfigReply(payload, payloadLength);
        break;
    case ReplyCode(SetNetConfig):
        // The dialog posts the box to the user-interface thread and returns
        // at once, so frames go on being cut while the notice is open.
        ShowNotice(texts::NetConfigApplied);
        break;
    case ReplyCode(RunShellCommand): {
        std::array<char, ShellTextBufferSize> line;
        CopyReplyText(payload, payloadLength, line.data(), line.size());
        AppendOutputLine(line.data());
        break;
    }
    case ReplyCode(Heartbeat):
        OnHeartbeatReply();
        break;
    case ReplyCode(GetAdminPassword): {
        // A longer text is cut to what the dialog's buffer holds; the reply
        // still counts as the device's answer.
        std::array<char, PasswordBufferSize> password{};
        CopyReplyText(payload, payloadLength, password.data(), password.size());
        ShowAdminPassword(password.data());
        break;
    }
    case ReplyCode(SetAdminPassword):
        ShowNotice(texts::PasswordChanged);   // returns at once, as above
        break;
    default:
        break;
    }
}
