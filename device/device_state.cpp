#include "device/device_state.h"

#include <cstring>

DeviceState DefaultDeviceState()
{
    DeviceState s{};
    s.dhcp = false;
    s.ipAddress = 0xC0A8010Au;   // 192.168.1.10
    s.subnetMask = 0xFFFFFF00u;  // 255.255.255.0
    s.gateway = 0xC0A80101u;     // 192.168.1.1
    std::strcpy(s.password, "admin");
    s.hardwareAddress = true;
    return s;
}

bool SetPassword(DeviceState& state, const char* text)
{
    const size_t length = std::strlen(text);
    const size_t kept = length < MaxPasswordTextBytes ? length : MaxPasswordTextBytes;
    std::memcpy(state.password, text, kept);
    state.password[kept] = '\0';
    return kept == length;
}

void StorePasswordField(DeviceState& state, const uint8_t* field, uint32_t length)
{
    uint32_t n = 0;
    while (n < length && n < PasswordFieldSize && field[n] != 0)
        ++n;
    std::memcpy(state.password, field, n);
    state.password[n] = '\0';
}
