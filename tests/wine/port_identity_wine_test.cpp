// The Win32 port list and its identities under Wine. The test installs
// Ports-class devices as a driver's installer would (instance id,
// properties, PortName in the device's key), lists the ports here and in a
// second process, removes the devices and lists again.
// port-identity-wine-test.sh lists their ports in SERIALCOMM, and one more
// with no device behind it (QV_BARE_PORT).
#include <gtest/gtest.h>

#include <process.h>

#include <cstdlib>
#include <string>

#include "link/com_ports_win32.h"
#include "link/port_list.h"
#include "tests/wine/com_peer_win32.h"
#include "tests/wine/port_install_win32.h"

namespace {

// What is installed, and "transport|description|manufacturer|vid|pid|serial|location" read back.
const struct Port {
    InstalledPort port;
    const char* identity;
} Ports[] = {
    {{L"USB\\VID_0403&PID_6001\\A50285BI", L"USB Serial Port (COM21)", nullptr,
      L"USB\\VID_0403&PID_6001&REV_0600\0", L"Port_#0002.Hub_#0003", L"FTDI", 21},
     "usb|USB Serial Port|FTDI|0403|6001|A50285BI|Port_#0002.Hub_#0003"},
    {{L"USB\\VID_1A86&PID_7523\\5&2B3A1F&0&2", L"USB-SERIAL CH340 (COM22)", nullptr, L"USB\\VID_1A86&PID_7523&REV_0264\0",
      L"Port_#0001.Hub_#0003", L"南京沁恒", 22},
     "usb|USB-SERIAL CH340|南京沁恒|1a86|7523||Port_#0001.Hub_#0003"},
    // No friendly name: the device description stands in.
    {{L"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&2A8B3C&0&001122334455_C00000000", nullptr,
      L"Standard Serial over Bluetooth link", L"BTHENUM\\{00001101-0000-1000-8000-00805f9b34fb}_LOCALMFG&0002\0",
      nullptr, L"Microsoft", 23},
     "bluetooth|Standard Serial over Bluetooth link|Microsoft||||"},
    // Wine gives no parent (CM_Get_Parent is a stub): what the port device says stands.
    {{L"FTDIBUS\\VID_0403+PID_6010+FT4ABCDEA\\0000", L"USB Serial Port (COM24)", nullptr,
      L"FTDIBUS\\COMPORT&VID_0403&PID_6010\0", L"on USB Serial Converter A", L"FTDI", 24},
     "usb|USB Serial Port|FTDI|0403|6010||on USB Serial Converter A"},
};

// Also what a run that died half-way left in the prefix: it would stop the
// next run from installing the same ids.
void RemoveAll()
{
    for (const Port& p : Ports)
        RemovePort(p.port.id);
}

// The listed port numbered `number`; an empty one when it is not listed.
const ListedPort& Numbered(const SerialPortList& list, uint32_t number)
{
    static const ListedPort none{};
    for (uint32_t i = 0; i < list.count; ++i)
        if (list.ports[i].number == number)
            return list.ports[i];
    return none;
}

// Each row's port is listed and described as the row says, or undescribed;
// no other port is described, and the Bluetooth device's port is a
// Bluetooth one though SERIALCOMM lists it as any other. One list for every
// reading, as a program keeps it: a reading after a removal must not keep
// what the one before found.
void ExpectPorts(bool installed)
{
    static SerialPortList list;
    ListPorts(list);
    ASSERT_TRUE(Succeeded(list.reading));
    std::string described, bluetooth;
    for (uint32_t i = 0; i < list.count; ++i) {
        described += list.ports[i].identity.described ? std::string(list.ports[i].name) + " " : "";
        bluetooth += list.ports[i].bluetooth ? std::string(list.ports[i].name) + " " : "";
    }
    EXPECT_EQ(described, installed ? "COM21 COM22 COM23 COM24 " : "");
    EXPECT_EQ(bluetooth, installed ? "COM23 " : "");
    for (const Port& p : Ports) {
        EXPECT_EQ(Numbered(list, p.port.com).number, static_cast<uint32_t>(p.port.com));
        const PortIdentity& id = Numbered(list, p.port.com).identity;
        const std::string got = std::string(TransportWord(id.transport) ? TransportWord(id.transport) : "") + "|" +
            id.description + "|" + id.manufacturer + "|" + id.vid + "|" + id.pid + "|" + id.serial + "|" + id.location;
        EXPECT_EQ(got, installed ? p.identity : "||||||") << p.port.com;
    }
}

}  // namespace

TEST(WineIdentity, InstalledPortsAreDescribedHereAndElsewhereUntilRemoved)
{
    // A port the system lists with no device record behind it is not described.
    const int bare = std::atoi(Env("QV_BARE_PORT").c_str());
    EXPECT_TRUE(ContainsComPort(ReadSerialComm(), static_cast<uint32_t>(bare))) << bare;
    RemoveAll();
    HDEVINFO set = SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_PORTS, nullptr);
    bool installed = set != INVALID_HANDLE_VALUE;
    for (const Port& p : Ports) {
        installed = installed && InstallPort(set, p.port);
        EXPECT_TRUE(installed) << p.port.com << ": error " << std::hex << GetLastError();
    }
    SetupDiDestroyDeviceInfoList(set);
    if (installed) {
        ExpectPorts(true);
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        _wputenv(L"QV_IDENTITY_CHILD=1");
        EXPECT_EQ(_wspawnl(_P_WAIT, self, L"child", L"--gtest_filter=WineIdentity.ReadInAnotherProcess", nullptr), 0);
        _wputenv(L"QV_IDENTITY_CHILD=");
    }
    RemoveAll();
    ExpectPorts(false);
}

// Run by the test above, in a process of its own.
TEST(WineIdentity, ReadInAnotherProcess)
{
    if (Env("QV_IDENTITY_CHILD").empty())
        GTEST_SKIP() << "run by InstalledPortsAreDescribedHereAndElsewhereUntilRemoved";
    ExpectPorts(true);
}
