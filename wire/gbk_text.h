// GBK (code page 936), the encoding of every text on the wire, to and from
// UTF-8. POSIX converts with iconv, Win32 with the code-page functions.
// Safe to call from any thread.
#pragma once

#include <cstddef>
#include <cstdint>

// Named wherever Windows converts: never the system's ANSI code page, which
// is 1252 on an English Windows and 65001 where the UTF-8 option is ticked.
constexpr unsigned GbkCodePage = 936;

// One GBK double-byte character as UTF-8 with a terminating 0 (`out` holds
// at least 8 bytes). False when the pair is not a GBK character.
bool DecodeGbkPair(uint8_t lead, uint8_t trail, char* out);

// The next character of GBK text as UTF-8 with a terminating 0 (`out`
// holds at least 8 bytes): ASCII as itself, a GBK pair decoded, and a byte
// that starts no GBK character as "\xNN". Returns how many of the `count`
// bytes (at least one) it took.
uint32_t NextGbkCharacter(const uint8_t* bytes, uint32_t count, char* out);

// The UTF-8 text of `length` bytes as GBK into `out`; `*written` gets the
// byte count. False when the text is not UTF-8, holds a character GBK does
// not have, or does not fit.
bool EncodeGbk(const char* utf8, size_t length, char* out, size_t capacity, size_t* written);

// The GBK text of `length` bytes as UTF-8 into `out` (three bytes for each
// GBK byte always fit); `*written` gets the byte count. False when the bytes
// are not GBK text.
bool DecodeGbk(const char* gbk, size_t length, char* out, size_t capacity, size_t* written);
