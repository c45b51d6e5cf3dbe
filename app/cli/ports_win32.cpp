#include <windows.h>

#include <cstdio>

#include "app/cli/ports.h"
#include "app/cli/text.h"

// The same probe as the dialog's port list: COM1..COM32 that open.
std::vector<PortEntry> ListPorts()
{
    std::vector<PortEntry> ports;
    const uint32_t mask = EnumeratePorts();
    for (uint32_t n = 1; n <= HighestProbedPort; ++n) {
        if (mask & (1u << (n - 1))) {
            char name[16];
            std::snprintf(name, sizeof name, "COM%u", n);
            ports.push_back({name, ""});
        }
    }
    return ports;
}

std::string DevicePathOf(const std::string& port)
{
    return port.rfind("\\\\.\\", 0) == 0 ? port : "\\\\.\\" + port;
}

std::string OpenFailureText(const PortOpenResult& result)
{
    std::string text = OpenFailureWord(result.status);
    if (result.osError == 0)
        return text;
    wchar_t* message = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, static_cast<DWORD>(result.osError), 0,
                   reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::string reason;
    if (message != nullptr) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, message, -1, nullptr, 0, nullptr, nullptr);
        if (n > 1) {
            reason.resize(static_cast<size_t>(n - 1));
            WideCharToMultiByte(CP_UTF8, 0, message, -1, &reason[0], n, nullptr, nullptr);
        }
        LocalFree(message);
    }
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '))
        reason.pop_back();
    text += ": " + (reason.empty() ? std::string("system error") : reason) + " (error " +
            std::to_string(result.osError) + ")";
    return text;
}
