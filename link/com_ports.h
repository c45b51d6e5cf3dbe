// The COM ports the system lists, found without opening any of them: on
// Windows the registry's HARDWARE\DEVICEMAP\SERIALCOMM, which every serial
// driver keeps up to date as adapters come and go. Opening a port only to
// learn whether it exists would make a Bluetooth port try to connect (seconds
// each) and would hide a port that another program holds.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "wire/result.h"

constexpr uint32_t HighestComPort = 255;
constexpr size_t PortNameSize = 16;   // "COM255", and "\\.\COM255", with the terminator

// What opens a port by its name on Windows. COM1 to COM9 also open by their
// bare names; COM10 and up open only this way, so every port is opened so.
constexpr char DevicePathPrefix[] = "\\\\.\\";

// COM port numbers, ascending, each once, and which of them are Bluetooth
// serial ports (opening one makes the system try to connect, for seconds).
// Fixed in size. Windows reads it from SERIALCOMM (com_ports_win32.h); the
// port list (port_list.h) gives every port with its identity.
struct ComPortList {
    uint32_t count;
    std::array<uint8_t, HighestComPort> numbers;
    std::array<bool, HighestComPort> bluetooth;
    Result reading;   // why the system's list could not be read (a missing list is an empty one)
};

// Adds `number` (1..HighestComPort) in its place; anything else, or a number
// already listed, leaves the list as it is.
void AddComPort(ComPortList& list, uint32_t number, bool bluetooth = false);

bool ContainsComPort(const ComPortList& list, uint32_t number);

// The number of "COMn" (n 1..255, any case, nothing around it), else 0.
uint32_t ComPortNumber(const char* name);

// Whether a driver's device name in the system's list ("\Device\BthModem0")
// is a Bluetooth serial port's.
bool IsBluetoothDevice(const char* deviceName);

// "COMn", and its device path "\\.\COMn", into a buffer of PortNameSize.
void FormatPortName(uint32_t number, char* out, size_t capacity);
void FormatDevicePath(uint32_t number, char* out, size_t capacity);
