// Frames as readable text: the decoder behind the virtual device's trace and
// quorvane-cli's --trace file, so that both show a frame the same way. Every
// function writes into the caller's fixed buffer and cuts at its end.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t FrameTextSize = 2048;     // a buffer that holds any line below
constexpr uint32_t FrameTextShown = 240;   // bytes of a text shown before it is cut
constexpr uint32_t FrameHexShown = 48;     // bytes of stray data shown in hex
constexpr char MaskedPassword[] = "********";

// "55 AA 01 ..." with at most `maxShown` bytes, then "... (N bytes)".
void FormatHex(const uint8_t* bytes, uint32_t count, uint32_t maxShown, char* out, size_t capacity);

// A text as the device or the utility sends it (GBK), shown in double quotes
// as UTF-8 with control bytes and undecodable bytes escaped.
void FormatText(const uint8_t* bytes, uint32_t count, char* out, size_t capacity);

// A whole frame with a good checksum, decoded: code, name, payload fields.
// Without `showPasswords` the password texts of 0x0A and 0x0B are masked.
void DescribeFrame(const uint8_t* frame, uint32_t total, char* out, size_t capacity,
                   bool showPasswords = true);

// A whole frame whose checksum is wrong: what it carries, what it should
// carry, and its bytes.
void DescribeBadChecksum(const uint8_t* frame, uint32_t total, char* out, size_t capacity);

// "A.B.C.D" with each field 0..255 and nothing else around it; the first
// field lands in the most significant byte, as in NetConfig.
bool ParseDotted(const char* text, uint32_t* out);

// Writes "A.B.C.D" (at most 16 bytes with the terminator).
void FormatDotted(uint32_t address, char* out, size_t capacity);
