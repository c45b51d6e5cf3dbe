// What the virtual device remembers: its network settings and its
// administrator password. One instance lives in the device's main loop;
// tests make their own.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t DevicePasswordCapacity = 100;   // reply text at most 99 bytes + 0

struct DeviceState {
    bool dhcp;
    uint32_t ipAddress;    // first dotted field in the most significant byte
    uint32_t subnetMask;
    uint32_t gateway;
    char password[DevicePasswordCapacity];
};

// DHCP off, 192.168.1.10 / 255.255.255.0, gateway 192.168.1.1, "admin".
DeviceState DefaultDeviceState();

// "A.B.C.D" with each field 0..255 and nothing else around it.
bool ParseDotted(const char* text, uint32_t* out);

// Writes "A.B.C.D" (at most 16 bytes with the terminator).
void FormatDotted(uint32_t address, char* out, size_t capacity);

// Copies at most 99 bytes of `text`; false when it had to cut.
bool SetPassword(DeviceState& state, const char* text);

// Stores a 16-byte password field as a request carries it: the text ends at
// the first zero byte or after the sixteenth byte.
void StorePasswordField(DeviceState& state, const uint8_t* field, uint32_t length);
