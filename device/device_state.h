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
    uint8_t mac[6];        // that address: this unit's own, never derived from its IP
};

// DHCP off, 192.168.1.10 / 255.255.255.0, gateway 192.168.1.1, "admin".
DeviceState DefaultDeviceState();

// ParseDotted and FormatDotted come from wire/frame_text.h.

// "XX:XX:XX:XX:XX:XX" (hex, either case) into `mac`; false when it is not.
bool ParseMac(const char* text, uint8_t mac[6]);

// A MAC of this device instance when none is given: the vendor prefix of
// the default, then the low 24 bits of `instance` (the process id: unique
// among the devices running at once on one machine).
void InstanceMac(uint32_t instance, uint8_t mac[6]);

// Copies at most MaxPasswordTextBytes of `text`; false when it had to cut.
bool SetPassword(DeviceState& state, const char* text);

// Stores a 16-byte password field as a request carries it: the text ends at
// the first zero byte or after the sixteenth byte.
void StorePasswordField(DeviceState& state, const uint8_t* field, uint32_t length);
