// The device's protocol trace: one readable line per frame or run of stray bytes.
// Formatting is separate from printing so that the lines can be tested.
#pragma once

#include <cstddef>
#include <cstdint>

#include "wire/frame_text.h"
#include "device/rx_stream.h"

constexpr uint32_t TraceLineSize = FrameTextSize;
constexpr uint32_t TraceHexShown = FrameHexShown;

// FormatHex, FormatText and DescribeFrame come from wire/frame_text.h,
// shared with quorvane-cli's trace.

// What the receive side found: a frame (decoded) or bytes that are not one.
void DescribeReceived(RxKind kind, const uint8_t* bytes, uint32_t count, char* out,
                      size_t capacity);

