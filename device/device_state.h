// What the virtual device remembers: its network settings and its
// administrator password. One instance lives in the device's main loop;
// tests make their own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "wire/codes.h"
#include "wire/frame_text.h"

struct DeviceState {
    bool dhcp;
    uint32_t ipAddress;    // first dotted field in the most significant byte
    uint32_t subnetMask;
    uint32_t gateway;
    char password[MaxPasswordTextBytes + 1];
    bool hardwareAddress;  // ifconfig shows eth0's HWaddr (--no-mac: a device that shows none)
};

// DHCP off, 192.168.1.10 / 255.255.255.0, gateway 192.168.1.1, "admin".
DeviceState DefaultDeviceState();

// ParseDotted and FormatDotted come from wire/frame_text.h.

// Copies at most MaxPasswordTextBytes of `text`; false when it had to cut.
bool SetPassword(DeviceState& state, const char* text);

// Stores a 16-byte password field as a request carries it: the text ends at
// the first zero byte or after the sixteenth byte.
void StorePasswordField(DeviceState& state, const uint8_t* field, uint32_t length);
