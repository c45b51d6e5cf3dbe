// make bench, under Wine: reading the port list with and without what the
// system says of each port, for 32 described ports. The ports are listed in
// SERIALCOMM by wine-run.sh (--com 1..32); this program installs a
// Ports-class device for each (as a USB adapter's driver would), times the
// two readings inside the program (process start not counted), and removes
// the devices again.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "link/platform.h"
#include "link/com_ports_win32.h"
#include "link/port_list.h"
#include "tests/wine/port_install_win32.h"

namespace {

constexpr uint32_t Ports = 32;
constexpr int Rounds = 21;

std::wstring InstanceId(uint32_t n) { return L"USB\\VID_0403&PID_6001\\QVBENCH" + std::to_wstring(n); }

bool InstallAll()
{
    HDEVINFO set = SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_PORTS, nullptr);
    bool done = set != INVALID_HANDLE_VALUE;
    for (uint32_t n = 1; n <= Ports && done; ++n) {
        const std::wstring id = InstanceId(n), friendly = L"USB Serial Port (COM" + std::to_wstring(n) + L")";
        const std::wstring location = L"Port_#000" + std::to_wstring(n % 8 + 1) + L".Hub_#000" + std::to_wstring(n / 8 + 1);
        RemovePort(id.c_str());
        done = InstallPort(set, InstalledPort{id.c_str(), friendly.c_str(), nullptr, L"USB\\VID_0403&PID_6001\0",
                                              location.c_str(), L"FTDI", n});
    }
    SetupDiDestroyDeviceInfoList(set);
    return done;
}

// The median of `Rounds` readings, in microseconds.
template <typename Reading>
double Median(Reading reading)
{
    std::vector<double> us;
    for (int i = 0; i < Rounds; ++i) {
        const int64_t start = MonotonicMicroseconds();
        reading();
        us.push_back(static_cast<double>(MonotonicMicroseconds() - start));
    }
    std::sort(us.begin(), us.end());
    return us[us.size() / 2];
}

}  // namespace

int main()
{
    if (!InstallAll()) {
        std::printf("identity bench: could not install the devices (error %lu)\n", GetLastError());
        return 1;
    }
    auto list = std::make_unique<SerialPortList>();
    uint32_t described = 0, listed = 0;
    const double plain = Median([&] { listed = ReadSerialComm().count; });
    const double full = Median([&] {
        ListPorts(*list);
        listed = list->count;
    });
    for (uint32_t i = 0; i < list->count; ++i)
        described += list->ports[i].identity.described ? 1 : 0;
    for (uint32_t n = 1; n <= Ports; ++n)
        RemovePort(InstanceId(n).c_str());
    std::printf("  %u ports listed, %u described: the list alone %.2f ms, with descriptions %.2f ms "
                "(median of %d; goal under 50 ms)\n", listed, described, plain / 1000, full / 1000, Rounds);
    return listed == Ports && described == Ports ? 0 : 1;
}
