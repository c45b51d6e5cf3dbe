#include "device/line_speed.h"

namespace {

int64_t Now(const LinePace& pace) { return pace.clock.now(pace.clock.context); }

int64_t Later(int64_t a, int64_t b) { return a > b ? a : b; }

}  // namespace

int64_t WireMicroseconds(uint64_t bytes)
{
    const int64_t bits = static_cast<int64_t>(bytes) * LineBitsPerByte;
    return (bits * 1000000 + LineBitsPerSecond - 1) / LineBitsPerSecond;
}

uint32_t SendAtLineSpeed(LinePace& pace, const uint8_t* bytes, uint32_t count, LineWrite write,
                         void* context)
{
    const int64_t start = Now(pace);
    uint32_t sent = 0;
    while (sent < count) {
        pace.clock.sleepUntil(pace.clock.context, start + WireMicroseconds(sent + 1));
        // Woken late, the bytes whose moment has passed are all due now.
        const int64_t now = Now(pace);
        uint32_t due = sent + 1;
        while (due < count && start + WireMicroseconds(due + 1) <= now)
            ++due;
        const uint32_t taken = write(context, bytes + sent, due - sent);
        sent += taken;
        if (sent < due)
            break;
    }
    return sent;
}

void ReceiveAtLineSpeed(LinePace& pace, uint32_t count)
{
    pace.receiveFreeAt = Later(Now(pace), pace.receiveFreeAt) + WireMicroseconds(count);
    pace.clock.sleepUntil(pace.clock.context, pace.receiveFreeAt);
}
