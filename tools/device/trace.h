// The protocol trace: one readable line per frame or run of stray bytes.
// Formatting is separate from printing so that the lines can be tested.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/device/rx_stream.h"

constexpr uint32_t TraceLineSize = 2048;
constexpr uint32_t TraceTextShown = 240;   // bytes of a text shown before it is cut
constexpr uint32_t TraceHexShown = 48;     // bytes of stray data shown in hex

// "55 AA 01 ..." with at most `maxShown` bytes, then "... (N bytes)".
void FormatHex(const uint8_t* bytes, uint32_t count, uint32_t maxShown, char* out, size_t capacity);

// A text as the device or the utility sends it (GBK), shown in double quotes
// as UTF-8 with control bytes and undecodable bytes escaped.
void FormatText(const uint8_t* bytes, uint32_t count, char* out, size_t capacity);

// A whole frame with a good checksum, decoded: code, name, payload fields.
void DescribeFrame(const uint8_t* frame, uint32_t total, char* out, size_t capacity);

// What the receive side found: a frame (decoded) or bytes that are not one.
void DescribeReceived(RxKind kind, const uint8_t* bytes, uint32_t count, char* out,
                      size_t capacity);

// "HH:MM:SS.mmm" of the local wall clock.
void FormatClock(char* out, size_t capacity);
