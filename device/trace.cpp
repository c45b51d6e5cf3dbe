#include "device/trace.h"

#include <cstdio>

#include "wire/frame_codec.h"

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
                      DeclaredLength(bytes), MaxPayloadBytes, hex);
        return;
    case RxKind::Incomplete:
        FormatHex(bytes, count, TraceHexShown, hex, sizeof hex);
        std::snprintf(out, capacity, "incomplete frame, %u byte%s then silence, dropped: %s",
                      count, count == 1 ? "" : "s", hex);
        return;
    }
}


