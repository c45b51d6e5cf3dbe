// The system's own words for an error number (errno on POSIX,
// GetLastError() on Windows): the one place that asks the system for them,
// so that every message to the technician names the system's reason alike.
#pragma once

#include <cstddef>
#include <cstdint>

// The system's message for `osError`, UTF-8 (never the ANSI code page: a
// Chinese Windows' message must survive), without the line break Windows
// ends it with; empty when the system has none. Cut at a character
// boundary when it does not fit.
void SystemMessage(int32_t osError, char* out, size_t capacity);

// The message with the number, as the system names its numbers:
// "Device or resource busy (errno 16)", "Access is denied. (error 5)";
// "system error (error 1234)" when the system has no message.
void SystemErrorText(int32_t osError, char* out, size_t capacity);
