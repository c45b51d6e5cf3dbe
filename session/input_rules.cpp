#include "session/input_rules.h"

#include <cstdio>
#include <cstring>

namespace {

InputCheck CheckLength(const char* gbk, size_t limit)
{
    const size_t length = std::strlen(gbk);
    return length == 0 ? InputCheck::Empty : length > limit ? InputCheck::TooLong : InputCheck::Good;
}

}  // namespace

// GBK's trail bytes are 0x40 and above, so a CR or LF byte is a real one.
InputCheck CheckCommand(const char* gbk)
{
    return std::strpbrk(gbk, "\r\n") != nullptr ? InputCheck::LineBreak : CheckLength(gbk, MaxCommandBytes);
}

InputCheck CheckPassword(const char* gbk) { return CheckLength(gbk, MaxPasswordBytes); }

// Compared byte for byte at the very start: "Ping" and " ping" go unchanged.
void CompleteCommand(const char* typed, char* out, size_t capacity)
{
    const bool ping = std::strncmp(typed, "ping", 4) == 0;
    std::snprintf(out, capacity, "%s%s", typed, ping ? PingSuffix : "");
}
