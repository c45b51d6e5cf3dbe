// How the device answers one well-formed request: the reply frames it
// builds, the state it changes, and the answering faults that decide
// whether and with which status it replies. The transmit faults (delay,
// corruption, noise, pieces) belong to the sending side, not here.
#pragma once

#include <array>
#include <cstdint>

#include "device/device_state.h"

constexpr int16_t NoStatusOverride = -1;
constexpr uint8_t BadRequestStatus = 0x01;   // payload of the wrong size

struct AnswerFaults {
    bool silent;                  // answer nothing
    bool onlyNetConfig;           // answer GetNetConfig and nothing else
    bool ignoreChanges;           // report success for 0x03 and 0x0B without applying them
    int64_t heartbeatStopMs;      // heartbeats unanswered from then on; -1 never
    std::array<int16_t, 256> status;   // per request code, NoStatusOverride or 0..255
};

AnswerFaults NoAnswerFaults();

// Why a request got no reply, for the trace.
enum class Unanswered { No, Silent, OnlyNetConfig, HeartbeatStopped, UnknownCode };

using ReplySink = void (*)(void* context, const uint8_t* frame, uint32_t total);

// `frame` is a whole request whose checksum has been checked. Calls `sink`
// once per reply frame (a shell command may give many, or none) and returns
// why nothing was sent, if that was a decision. A refused change (non-zero
// status) leaves the state as it was.
Unanswered AnswerRequest(DeviceState& state, const AnswerFaults& faults, int64_t elapsedMs,
                         const uint8_t* frame, uint32_t total, ReplySink sink, void* context);

const char* UnansweredReason(Unanswered why);
