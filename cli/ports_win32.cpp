#include <windows.h>

#include <memory>

#include "cli/ports.h"
#include "cli/text.h"
#include "link/com_ports.h"

// The dialog's list: the ports the system lists, none of them opened, each
// with what SetupAPI says of its device. A failed reading leaves the
// identities out, not the ports.
std::vector<PortEntry> ListPorts(Result* reading)
{
    std::vector<PortEntry> ports;
    const ComPortList listed = EnumeratePorts();
    if (reading != nullptr)
        *reading = listed.reading;
    auto identities = std::make_unique<ComPortIdentities>();
    ReadComPortIdentities(*identities);
    for (uint32_t i = 0; i < listed.count; ++i) {
        const PortIdentity& id = identities->byNumber[listed.numbers[i]];
        ports.push_back({"COM" + std::to_string(listed.numbers[i]), "",
                         listed.bluetooth[i] || id.transport == Transport::Bluetooth, id});
    }
    return ports;
}

std::string DevicePathOf(const std::string& port)
{
    return port.rfind(DevicePathPrefix, 0) == 0 ? port : DevicePathPrefix + port;
}

std::string SystemErrorText(int32_t osError)
{
    wchar_t* message = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, static_cast<DWORD>(osError), 0,
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
    return (reason.empty() ? std::string("system error") : reason) + " (error " + std::to_string(osError) + ")";
}
