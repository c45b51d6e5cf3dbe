#include "device/device_state.h"

#include <cctype>
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
    s.hardwareAddress = true;
    InstanceMac(0x5A010A, s.mac);   // 00:1C:27:5A:01:0A
    return s;
}

bool ParseMac(const char* text, uint8_t mac[6])
{
    unsigned bytes[6];
    char end = '\0';
    if (std::strlen(text) != 17 ||
        std::sscanf(text, "%2x:%2x:%2x:%2x:%2x:%2x%c", &bytes[0], &bytes[1], &bytes[2], &bytes[3], &bytes[4],
                    &bytes[5], &end) != 6)
        return false;
    for (int i = 0; i < 6; ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(text[3 * i])) ||
            !std::isxdigit(static_cast<unsigned char>(text[3 * i + 1])))
            return false;
        mac[i] = static_cast<uint8_t>(bytes[i]);
    }
    return true;
}

void InstanceMac(uint32_t instance, uint8_t mac[6])
{
    const uint8_t prefix[3] = {0x00, 0x1C, 0x27};
    for (int i = 0; i < 3; ++i)
        mac[i] = prefix[i];
    mac[3] = static_cast<uint8_t>(instance >> 16);
    mac[4] = static_cast<uint8_t>(instance >> 8);
    mac[5] = static_cast<uint8_t>(instance);
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
