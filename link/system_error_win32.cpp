#include <windows.h>

#include <cstdio>

#include "link/port_identity.h"
#include "link/system_error.h"

namespace {

constexpr DWORD MessageSize = 512;   // the system's messages are a line or two

}  // namespace

void SystemMessage(int32_t osError, char* out, size_t capacity)
{
    wchar_t wide[MessageSize] = {};
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(osError), 0, wide, MessageSize, nullptr);
    while (n > 0 && (wide[n - 1] == L'\r' || wide[n - 1] == L'\n' || wide[n - 1] == L' '))
        --n;
    wide[n] = L'\0';
    char text[MessageSize * 3];
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    CopyIdentityText(bytes > 0 ? text : "", out, capacity);
}

void SystemErrorText(int32_t osError, char* out, size_t capacity)
{
    char message[MessageSize * 3];
    SystemMessage(osError, message, sizeof message);
    std::snprintf(out, capacity, "%s (error %ld)", message[0] != '\0' ? message : "system error",
                  static_cast<long>(osError));
}
