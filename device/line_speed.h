// The device at the pace of a real serial line (--line-speed): 115200 baud,
// 8N1, so ten bits a byte (start bit, eight data bits, stop bit) and one
// byte every 86.8 µs, 11,520 bytes a second, each way. Without the option
// the device answers at memory speed.
//
// A pty carries whatever is written at once, so the pace is kept here: a
// byte is handed to the line at the moment its stop bit would end on a
// real wire, one after the other, and a request is taken only once its
// last byte would have arrived. Every moment is counted from the start of
// the frame on the monotonic clock, never from the previous wake-up, so a
// late wake-up delays the bytes it covers and nothing after them.
//
// Everything here runs on the device's one thread.
#pragma once

#include <cstdint>

constexpr int64_t LineBitsPerSecond = 115200;
constexpr int64_t LineBitsPerByte = 10;   // start bit, eight data bits, stop bit

// Microseconds from the first bit of `bytes` bytes to the end of the last
// one's stop bit, rounded up: 87 for one byte, exactly 1000000 for 11,520.
int64_t WireMicroseconds(uint64_t bytes);

// The clock the pace is kept on: the product's monotonic microseconds and a
// sleep until a moment on it (line_posix.h), or a test's fake.
struct PaceClock {
    void* context;
    int64_t (*now)(void* context);
    void (*sleepUntil)(void* context, int64_t microseconds);
};

// The pace of one line. Sending needs no memory of its own: a frame's last
// byte is handed over when it is through, so the next frame starts from
// then. Receiving remembers when the bytes read so far are through (the
// clock's microseconds; 0: since the start).
struct LinePace {
    PaceClock clock;
    int64_t receiveFreeAt;
};

// Hands `count` bytes over, and returns how many were taken (fewer only
// when `write` took fewer than it was given).
using LineWrite = uint32_t (*)(void* context, const uint8_t* bytes, uint32_t count);

// Sends `bytes` as the line would carry them, from now: byte i is handed
// over WireMicroseconds(i + 1) after the start, when its stop bit ends, in
// a write of its own; after a late wake-up, every byte whose moment has
// passed goes in one write. Returns how many bytes were written.
uint32_t SendAtLineSpeed(LinePace& pace, const uint8_t* bytes, uint32_t count, LineWrite write,
                         void* context);

// `count` bytes were just read, but would still be on a real wire: waits
// until the last of them (behind any that were still arriving) is through.
void ReceiveAtLineSpeed(LinePace& pace, uint32_t count);
