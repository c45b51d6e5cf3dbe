#include "tools/device/trace.h"

#include <sys/time.h>

#include <cstdio>
#include <ctime>

#include "link/frame_codec.h"

void DescribeReceived(RxKind kind, const uint8_t* bytes, uint32_t count, char* out,
                      size_t capacity)
{
    out[0] = '\0';
    char hex[TraceLineSize];
    switch (kind) {
    case RxKind::Frame:
        DescribeFrame(bytes, count, out, capacity);
        return;
    case RxKind::BadChecksum:
        DescribeBadChecksum(bytes, count, out, capacity);
        return;
    case RxKind::Garbage:
        FormatHex(bytes, count, TraceHexShown, hex, sizeof hex);
        std::snprintf(out, capacity, "%u byte%s not a frame: %s", count, count == 1 ? "" : "s", hex);
        return;
    case RxKind::Oversize:
        FormatHex(bytes, count, TraceHexShown, hex, sizeof hex);
        std::snprintf(out, capacity,
                      "over-long frame declares %u payload bytes (at most %u), start dropped: %s",
                      (uint32_t{bytes[4]} << 8) | bytes[5], MaxRequestFrame - FrameOverhead, hex);
        return;
    case RxKind::Incomplete:
        FormatHex(bytes, count, TraceHexShown, hex, sizeof hex);
        std::snprintf(out, capacity, "incomplete frame, %u byte%s then silence, dropped: %s",
                      count, count == 1 ? "" : "s", hex);
        return;
    }
}

void FormatClock(char* out, size_t capacity)
{
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    std::snprintf(out, capacity, "%02d:%02d:%02d.%03ld", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<long>(now.tv_usec / 1000));
}
