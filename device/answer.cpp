#include "device/answer.h"

#include <cstring>

#include "wire/frame_codec.h"
#include "wire/codes.h"
#include "device/shell.h"

AnswerFaults NoAnswerFaults()
{
    AnswerFaults f{};
    f.silent = false;
    f.onlyNetConfig = false;
    f.ignoreChanges = false;
    f.heartbeatStopMs = -1;
    f.status.fill(NoStatusOverride);
    return f;
}

namespace {

void Send(ReplySink sink, void* context, uint8_t code, const uint8_t* payload, uint16_t length)
{
    uint8_t frame[MaxReplyFrame];
    const uint32_t total = BuildFrame(code, payload, length, frame, sizeof frame);
    if (total != 0)
        sink(context, frame, total);
}

// A reply that carries a text: status, the text, its terminating zero.
void SendText(ReplySink sink, void* context, uint8_t code, uint8_t status, const char* text)
{
    uint8_t payload[MaxReplyFrame - 8];
    size_t n = std::strlen(text);
    if (n > sizeof payload - 2)
        n = sizeof payload - 2;
    payload[0] = status;
    std::memcpy(payload + 1, text, n);
    payload[1 + n] = 0;
    Send(sink, context, code, payload, static_cast<uint16_t>(n + 2));
}

struct ShellReply {
    ReplySink sink;
    void* context;
    uint8_t status;
};

void ShellLine(void* context, const char* line)
{
    const ShellReply* r = static_cast<const ShellReply*>(context);
    SendText(r->sink, r->context, ReplyCode(RunShellCommand), r->status, line);
}

}  // namespace

Unanswered AnswerRequest(DeviceState& state, const AnswerFaults& faults, int64_t elapsedMs,
                         const uint8_t* frame, uint32_t total, ReplySink sink, void* context)
{
    const uint8_t code = frame[2];
    const uint8_t* payload = frame + FrameHeaderSize;
    const uint32_t length = total - FrameOverhead;
    switch (code) {
    case GetNetConfig: case SetNetConfig: case RunShellCommand:
    case Heartbeat: case GetAdminPassword: case SetAdminPassword:
        break;
    default:
        return Unanswered::UnknownCode;
    }
    if (faults.silent)
        return Unanswered::Silent;
    if (faults.onlyNetConfig && code != GetNetConfig)
        return Unanswered::OnlyNetConfig;
    if (code == Heartbeat && faults.heartbeatStopMs >= 0 && elapsedMs >= faults.heartbeatStopMs)
        return Unanswered::HeartbeatStopped;

    const int16_t forced = faults.status[code];
    uint8_t status = forced == NoStatusOverride ? 0 : static_cast<uint8_t>(forced);
    const uint8_t reply = ReplyCode(code);
    switch (code) {
    case GetNetConfig: {
        uint8_t p[NetConfigReplySize] = {status};
        p[NetConfigReplyDhcpAt] = state.dhcp ? 1 : 0;
        PutAddress(p + NetConfigReplyAddressesAt, state.ipAddress);
        PutAddress(p + NetConfigReplyAddressesAt + 4, state.subnetMask);
        PutAddress(p + NetConfigReplyAddressesAt + 8, state.gateway);
        Send(sink, context, reply, p, sizeof p);
        break;
    }
    case SetNetConfig:
        if (length != NetConfigPayloadSize && status == 0)
            status = BadRequestStatus;
        if (status == 0 && !faults.ignoreChanges) {
            state.dhcp = payload[NetConfigDhcpAt] != 0;
            // With DHCP on the request carries no addresses; the device keeps
            // the ones it has, as a lease from the network would give them.
            if (!state.dhcp) {
                state.ipAddress = GetAddress(payload + NetConfigAddressesAt);
                state.subnetMask = GetAddress(payload + NetConfigAddressesAt + 4);
                state.gateway = GetAddress(payload + NetConfigAddressesAt + 8);
            }
        }
        Send(sink, context, reply, &status, 1);
        break;
    case RunShellCommand: {
        ShellReply r{sink, context, status};
        uint32_t n = 0;
        while (n < length && payload[n] != 0)
            ++n;
        RunShell(state, reinterpret_cast<const char*>(payload), n, ShellLine, &r);
        break;
    }
    case Heartbeat:
        Send(sink, context, reply, &status, 1);
        break;
    case GetAdminPassword:
        SendText(sink, context, reply, status, state.password);
        break;
    case SetAdminPassword:
        if (length != PasswordFieldSize && status == 0)
            status = BadRequestStatus;
        if (status == 0 && !faults.ignoreChanges)
            StorePasswordField(state, payload, length);
        Send(sink, context, reply, &status, 1);
        break;
    }
    return Unanswered::No;
}

const char* UnansweredReason(Unanswered why)
{
    switch (why) {
    case Unanswered::No: return "answered";
    case Unanswered::Silent: return "not answered: silent";
    case Unanswered::OnlyNetConfig: return "not answered: only GetNetConfig is answered";
    case Unanswered::HeartbeatStopped: return "not answered: heartbeats have stopped";
    case Unanswered::UnknownCode: return "not answered: unknown request code";
    }
    return "";
}
