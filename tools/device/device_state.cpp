#include "tools/device/device_state.h"

#include <cstdio>
#include <cstring>

DeviceState DefaultDeviceState()
{
    DeviceState s{};
    s.dhcp = false;
    s.ipAddress = 0xC0A8010Au;   // 192.168.1.10
    s.subnetMask = 0xFFFFFF00u;  // 255.255.255.0
    s.gateway = 0xC0A80101u;     // 192.168.1.1
    std::strcpy(s.password, "admin");
    return s;
}

bool ParseDotted(const char* text, uint32_t* out)
{
    if (text == nullptr || out == nullptr)
        return false;
    uint32_t value = 0;
    const char* p = text;
    for (int field = 0; field < 4; ++field) {
        if (field > 0) {
            if (*p != '.')
                return false;
            ++p;
        }
        if (*p < '0' || *p > '9')
            return false;
        uint32_t n = 0;
        int digits = 0;
        while (*p >= '0' && *p <= '9') {
            n = n * 10 + static_cast<uint32_t>(*p - '0');
            if (++digits > 3 || n > 255)
                return false;
            ++p;
        }
        value = (value << 8) | n;
    }
    if (*p != '\0')
        return false;
    *out = value;
    return true;
}

void FormatDotted(uint32_t a, char* out, size_t capacity)
{
    std::snprintf(out, capacity, "%u.%u.%u.%u", (a >> 24) & 0xFF, (a >> 16) & 0xFF,
                  (a >> 8) & 0xFF, a & 0xFF);
}

bool SetPassword(DeviceState& state, const char* text)
{
    const size_t length = std::strlen(text);
    const size_t kept = length < DevicePasswordCapacity - 1 ? length : DevicePasswordCapacity - 1;
    std::memcpy(state.password, text, kept);
    state.password[kept] = '\0';
    return kept == length;
}

void StorePasswordField(DeviceState& state, const uint8_t* field, uint32_t length)
{
    uint32_t n = 0;
    while (n < length && n < 16 && field[n] != 0)
        ++n;
    std::memcpy(state.password, field, n);
    state.password[n] = '\0';
}
