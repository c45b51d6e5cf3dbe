// The COM ports from the registry's SERIALCOMM list. Each value there is one
// port: its name is the driver's device ("\Device\Serial0", "\Device\VCP0",
// "\Device\BthModem0"), its data the port's name ("COM3"). The key is
// volatile and exists only once some driver has made a port; a missing key is
// an empty list, not an error.
#include "link/com_ports_win32.h"

#include <windows.h>

namespace {

constexpr wchar_t SerialCommKey[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr DWORD MaxValueName = 256;   // registry value names hold at most 16383; ours are short
constexpr DWORD MaxPortName = 16;     // "COM255" and its terminator, with room to spare

// The port name as plain ASCII, or empty when it is anything else.
void AsciiName(const wchar_t* wide, DWORD bytes, char* out, size_t capacity)
{
    const size_t count = bytes / sizeof(wchar_t);
    size_t n = 0;
    for (; n < count && n + 1 < capacity && wide[n] != L'\0'; ++n) {
        if (wide[n] > 0x7F) {
            n = 0;
            break;
        }
        out[n] = static_cast<char>(wide[n]);
    }
    out[n] = '\0';
}

}  // namespace

ComPortList ReadSerialComm()
{
    ComPortList list{};
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, SerialCommKey, 0, KEY_QUERY_VALUE, &key);
    if (opened != ERROR_SUCCESS) {
        if (opened != ERROR_FILE_NOT_FOUND)
            list.reading = Failure(Status::Failed, "reading HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM", opened);
        return list;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t valueName[MaxValueName];
        DWORD nameLength = MaxValueName;
        wchar_t data[MaxPortName] = {};
        DWORD dataBytes = sizeof data - sizeof(wchar_t);   // leaves a terminator in place
        DWORD type = 0;
        const LONG result = RegEnumValueW(key, index, valueName, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataBytes);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        // ERROR_MORE_DATA: a value too long to be a port name; skip it.
        if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) {
            list.reading = Failure(Status::Failed, "reading HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM", result);
            break;
        }
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        char name[MaxPortName];
        AsciiName(data, dataBytes, name, sizeof name);
        char device[MaxValueName];
        AsciiName(valueName, nameLength * sizeof(wchar_t), device, sizeof device);
        AddComPort(list, ComPortNumber(name), IsBluetoothDevice(device));
    }
    RegCloseKey(key);
    return list;
}
