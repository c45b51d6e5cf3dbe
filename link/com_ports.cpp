#include "link/com_ports.h"

#include <cstdio>

void AddComPort(ComPortList& list, uint32_t number)
{
    if (number < 1 || number > HighestComPort || list.count >= HighestComPort)
        return;
    uint32_t at = 0;
    while (at < list.count && list.numbers[at] < number)
        ++at;
    if (at < list.count && list.numbers[at] == number)
        return;
    for (uint32_t i = list.count; i > at; --i)
        list.numbers[i] = list.numbers[i - 1];
    list.numbers[at] = static_cast<uint8_t>(number);
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

void FormatPortName(uint32_t number, char* out, size_t capacity)
{
    std::snprintf(out, capacity, "COM%u", number);
}

void FormatDevicePath(uint32_t number, char* out, size_t capacity)
{
    std::snprintf(out, capacity, "%sCOM%u", DevicePathPrefix, number);
}
