#include "link/com_ports.h"

#include <cstdio>

void AddComPort(ComPortList& list, uint32_t number, bool bluetooth)
{
    if (number < 1 || number > HighestComPort || list.count >= HighestComPort)
        return;
    uint32_t at = 0;
    while (at < list.count && list.numbers[at] < number)
        ++at;
    if (at < list.count && list.numbers[at] == number)
        return;
    for (uint32_t i = list.count; i > at; --i) {
        list.numbers[i] = list.numbers[i - 1];
        list.bluetooth[i] = list.bluetooth[i - 1];
    }
    list.numbers[at] = static_cast<uint8_t>(number);
    list.bluetooth[at] = bluetooth;
    ++list.count;
}

bool ContainsComPort(const ComPortList& list, uint32_t number)
{
    for (uint32_t i = 0; i < list.count; ++i)
        if (list.numbers[i] == number)
            return true;
    return false;
}

uint32_t ComPortNumber(const char* name)
{
    if (name == nullptr)
        return 0;
    const char prefix[] = "COM";
    for (int i = 0; i < 3; ++i)
        if ((name[i] & ~0x20) != prefix[i])
            return 0;
    uint32_t number = 0;
    const char* p = name + 3;
    // No leading zero: "COM03" is not a name Windows gives a port.
    if (*p < '1' || *p > '9')
        return 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        number = number * 10 + static_cast<uint32_t>(*p - '0');
        if (number > HighestComPort)
            return 0;
    }
    return *p == '\0' ? number : 0;
}

// Windows' own Bluetooth serial driver names its ports BthModem; the name is
// matched in any case.
bool IsBluetoothDevice(const char* deviceName)
{
    const char mark[] = "bthmodem";
    for (const char* p = deviceName; p != nullptr && *p != '\0'; ++p) {
        size_t i = 0;
        while (mark[i] != '\0' && p[i] != '\0' && (p[i] | 0x20) == mark[i])
            ++i;
        if (mark[i] == '\0')
            return true;
    }
    return false;
}

void FormatPortName(uint32_t number, char* out, size_t capacity)
{
    std::snprintf(out, capacity, "COM%u", number);
}

void FormatDevicePath(uint32_t number, char* out, size_t capacity)
{
    char name[PortNameSize];
    FormatPortName(number, name, sizeof name);
    std::snprintf(out, capacity, "%s%s", DevicePathPrefix, name);
}
