// Link supervision of one session, driven by its owner's one-second tick: a
// heartbeat on every third tick, a ten-tick link countdown armed by each
// accepted heartbeat or password reply, and a three-tick first-contact
// countdown armed on opening. It reaches its host only through the
// callbacks of SupervisionHost, and sends heartbeats through the call it
// is given; the session tells it of each reply (FeedSupervision), and it
// alone decides which replies count for the link.
//
// Threads: the tick and StartSupervision run on the owner's thread; the
// replies feed it on the assembler thread. The counters are atomics; no
// lock. `host` and `heartbeat` are set before the session's threads start,
// then only read.
#pragma once

#include <atomic>
#include <cstdint>

#include "wire/result.h"

constexpr uint32_t SupervisionPeriodMs = 1000;
constexpr uint32_t HeartbeatEveryTicks = 3;
constexpr uint32_t LinkTimeoutTicks = 10;
constexpr uint32_t FirstContactTicks = 3;

// What the supervision needs of its host. linkUp may come on either thread;
// the others on the owner's, from inside OnSupervisionTick. linkLost must
// have closed the port when it returns; noFirstAnswer may wait (the dialog
// shows a modal box there, inside which further ticks and replies are
// handled), and releasePort follows it.
struct SupervisionHost {
    void* context;
    void (*linkUp)(void* context);
    void (*linkLost)(void* context);
    void (*noFirstAnswer)(void* context);
    void (*releasePort)(void* context);
};

// Writes one heartbeat request (the session binds its device client here).
struct HeartbeatSender {
    void* context;
    Result (*send)(void* context);
};

struct LinkSupervisor {
    std::atomic<uint32_t> heartbeatTicks{0};          // ticks since the last heartbeat went out
    std::atomic<uint32_t> linkCountdown{0};           // 0: no link being timed
    std::atomic<uint32_t> firstContactCountdown{0};   // 0: no first answer awaited
    SupervisionHost host{};
    HeartbeatSender heartbeat{};
};

// Right after a successful opening, before the first request is written
// (its reply may clear the first-contact countdown at once).
void StartSupervision(LinkSupervisor& supervisor);
void OnSupervisionTick(LinkSupervisor& supervisor);

// A reply of `replyCode` with `status` arrived (assembler thread), after
// the front end has had it: "connected" comes behind the password.
void FeedSupervision(LinkSupervisor& supervisor, uint8_t replyCode, uint8_t status);
