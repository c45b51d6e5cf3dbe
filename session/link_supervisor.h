// Link supervision of one session, driven by its owner's one-second tick: a
// heartbeat on every third tick, a ten-tick link countdown armed by each
// accepted heartbeat or password reply, and a three-tick first-contact
// countdown armed on opening. It reaches its host only through the
// callbacks of SupervisionHost.
//
// The tick and StartSupervision run on the owner's thread; the replies feed
// it on the assembler thread. The counters are atomics; no lock.
#pragma once

#include <atomic>
#include <cstdint>

struct Session;

constexpr uint32_t SupervisionPeriodMs = 1000;
constexpr uint32_t HeartbeatEveryTicks = 3;
constexpr uint32_t LinkTimeoutTicks = 10;
constexpr uint32_t FirstContactTicks = 3;

struct LinkSupervisor {
    std::atomic<uint32_t> heartbeatTicks{0};          // ticks since the last heartbeat went out
    std::atomic<uint32_t> linkCountdown{0};           // 0: no link being timed
    std::atomic<uint32_t> firstContactCountdown{0};   // 0: no first answer awaited
};

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

// Right after a successful opening, before the first request is written
// (its reply may clear the first-contact countdown at once).
void StartSupervision(Session& session);
void OnSupervisionTick(Session& session);

// The replies (assembler thread).
void OnHeartbeatReply(Session& session);   // an accepted 0x08
void MarkLinkAlive(Session& session);      // an accepted 0x0A, after the host showed the link up
void CancelFirstContact(Session& session); // an accepted 0x02

// What an accepted reply of `replyCode` does to the supervision; called by
// the device client after the front end has had the reply.
void FeedSupervision(Session& session, uint8_t replyCode);
