// Recording stand-ins for the dialog operations and the heartbeat sender that
// the supervision calls, so the tick can be driven one call at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

enum class Call : uint8_t {
    Heartbeat,
    StatusNotConnected,
    StatusConnected,
    StatusOther,
    ReleasePort,
    ClickPortToggle,
    NoAnswerShown,
    NoAnswerDismissed,
    KillTimer,
};

namespace fake {

constexpr uint32_t LogSize = 256;

// Calls in order; only the single-threaded cases read it.
uint32_t Count();
Call At(uint32_t index);
uint32_t CountOf(Call call);

extern std::atomic<uint32_t> heartbeats;
extern std::atomic<uint32_t> statusTexts;
extern std::atomic<uint32_t> portToggles;

// Runs while the no-answer box is "open", standing in for the modal loop in
// which further ticks and replies are handled.
extern std::function<void()> whileNoAnswerOpen;

// Clears the log, the counters, the hook and the three supervision counters.
void Reset();

}  // namespace fake
