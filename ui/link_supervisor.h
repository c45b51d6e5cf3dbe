// Link supervision, driven by the dialog's one-second timer: a heartbeat on
// every third tick, a ten-tick link countdown armed by each accepted heartbeat
// or password reply, and a three-tick first-contact countdown armed on open.
//
// The tick runs on the user-interface thread; the reply operations run on the
// assembler thread. The counters are atomics; no lock.
#pragma once

#include <atomic>
#include <cstdint>

#include "protocol/device_client.h"

constexpr uint32_t SupervisionTimerId = 1;
constexpr uint32_t SupervisionPeriodMs = 1000;
constexpr uint32_t HeartbeatEveryTicks = 3;
constexpr uint32_t LinkTimeoutTicks = 10;
constexpr uint32_t FirstContactTicks = 3;

extern std::atomic<uint32_t> heartbeatTicks;
extern std::atomic<uint32_t> linkCountdown;
extern std::atomic<uint32_t> firstContactCountdown;

void StartSupervision();     // user-interface thread, right after a successful open
void StopSupervision();      // user-interface thread, from ReleasePort
void OnSupervisionTick();    // user-interface thread, timer 1

// OnHeartbeatReply (assembler thread), the reply operation this module
// implements, is declared with the others in protocol/device_client.h.
void MarkLinkAlive();        // assembler thread, from ShowAdminPassword
void CancelFirstContact();   // assembler thread, from ShowNetConfig
