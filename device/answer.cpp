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
    uint8_t frame[MaxFrameBytes];
    const uint32_t total = BuildFrame(code, payload, length, frame, sizeof frame);
    if (total != 0)
        sink(context, frame, total);
}

// A reply that carries a text: status, the text, its terminating zero.
void SendText(ReplySink sink, void* context, uint8_t code, uint8_t status, const char* text)
{
    uint8_t payload[MaxPayloadBytes];
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

// What the device's answering faults decide before any reply is built.
Unanswered Withheld(const AnswerFaults& faults, uint8_t code, int64_t elapsedMs)
{
    if (!IsRequestCode(code))
        return Unanswered::UnknownCode;
    if (faults.silent)
        return Unanswered::Silent;
    if (faults.onlyNetConfig && code != GetNetConfig)
        return Unanswered::OnlyNetConfig;
    if (code == Heartbeat && faults.heartbeatStopMs >= 0 && elapsedMs >= faults.heartbeatStopMs)
        return Unanswered::HeartbeatStopped;
    return Unanswered::No;
}

void SendNetConfig(const DeviceState& state, uint8_t status, ReplySink sink, void* context)
{
    uint8_t p[NetConfigReplySize] = {status};
    p[NetConfigReplyDhcpAt] = state.dhcp ? 1 : 0;
    PutAddress(p + NetConfigReplyAddressesAt, state.ipAddress);
    PutAddress(p + NetConfigReplyAddressesAt + 4, state.subnetMask);
    PutAddress(p + NetConfigReplyAddressesAt + 8, state.gateway);
    Send(sink, context, ReplyCode(GetNetConfig), p, sizeof p);
}

// The status of a change: a payload of the wrong size is refused, and a
// refused change is not applied.
uint8_t ChangeStatus(uint8_t status, uint32_t length, uint32_t expected)
{
    return length != expected && status == 0 ? BadRequestStatus : status;
}

void ApplyNetConfig(DeviceState& state, const uint8_t* payload)
{
    state.dhcp = payload[NetConfigDhcpAt] != 0;
    // With DHCP on the request carries no addresses; the device keeps the
    // ones it has, as a lease from the network would give them.
    if (!state.dhcp) {
        state.ipAddress = GetAddress(payload + NetConfigAddressesAt);
        state.subnetMask = GetAddress(payload + NetConfigAddressesAt + 4);
        state.gateway = GetAddress(payload + NetConfigAddressesAt + 8);
    }
}

void RunCommand(const DeviceState& state, const uint8_t* payload, uint32_t length, uint8_t status,
                ReplySink sink, void* context)
{
    ShellReply r{sink, context, status};
    uint32_t n = 0;
    while (n < length && payload[n] != 0)
        ++n;
    RunShell(state, reinterpret_cast<const char*>(payload), n, ShellLine, &r);
}

}  // namespace

Unanswered AnswerRequest(DeviceState& state, const AnswerFaults& faults, int64_t elapsedMs,
                         const uint8_t* frame, uint32_t total, ReplySink sink, void* context)
{
    const uint8_t code = FrameCode(frame);
    const uint8_t* payload = FramePayload(frame);
    const uint32_t length = total - FrameOverhead;
    const Unanswered withheld = Withheld(faults, code, elapsedMs);
    if (withheld != Unanswered::No)
        return withheld;

    const int16_t forced = faults.status[code];
    uint8_t status = forced == NoStatusOverride ? 0 : static_cast<uint8_t>(forced);
    switch (code) {
    case GetNetConfig:
        SendNetConfig(state, status, sink, context);
        break;
    case SetNetConfig:
        status = ChangeStatus(status, length, NetConfigPayloadSize);
        if (status == 0 && !faults.ignoreChanges)
            ApplyNetConfig(state, payload);
        Send(sink, context, ReplyCode(code), &status, 1);
        break;
    case RunShellCommand:
        RunCommand(state, payload, length, status, sink, context);
        break;
    case GetAdminPassword:
        SendText(sink, context, ReplyCode(code), status, state.password);
        break;
    case SetAdminPassword:
        status = ChangeStatus(status, length, PasswordFieldSize);
        if (status == 0 && !faults.ignoreChanges)
            StorePasswordField(state, payload, length);
        Send(sink, context, ReplyCode(code), &status, 1);
        break;
    default:   // Heartbeat
        Send(sink, context, ReplyCode(code), &status, 1);
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
