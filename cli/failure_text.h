// A failure in the CLI's words: the step, the reason word and the system's
// own message (link/system_error.h) with its number.
#pragma once

#include <cstdint>
#include <string>

#include "wire/result.h"

// The system's own words for an errno or GetLastError() value, with the
// number: "Device or resource busy (errno 16)".
std::string SystemErrorText(int32_t osError);

// A failure in words: the step and the system's reason, "the reader
// thread: Resource temporarily unavailable (errno 11)"; the step alone when
// the system gave no error.
std::string ResultText(const Result& result);

// "busy: Device or resource busy (errno 16)" and the like.
std::string OpenFailureText(const Result& result);

// The reason word alone: "missing", "busy", "access denied", "failed".
const char* OpenFailureWord(Status status);
