// What the system says a serial port is, beside its name: a description,
// its maker, how it is attached, and for a USB adapter its vendor and
// product ids, its serial number and the USB socket it sits in. Read from
// the system's device records (Windows: SetupAPI over the Ports class;
// Linux: sysfs), never by opening the port. Each text is empty when the
// system does not give it.
//
// Fixed in size; called on a front end's own thread, never on the receive
// path. The port list (port_list.h) gives every port with its identity;
// each OS's reader has a header of its own (port_identity_win32.h,
// port_identity_posix.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "link/com_ports.h"
#include "wire/result.h"

enum class Transport : uint8_t {
    Unknown,     // the system describes no device behind the port
    Usb,
    Bluetooth,
    Native,      // a UART of the machine itself (ACPI, PNP0501, serial8250)
    Virtual,     // a device no bus stands behind (a software port)
};

constexpr size_t IdentityTextSize = 128;
constexpr size_t UsbIdSize = 5;   // four hex digits and the terminator

struct PortIdentity {
    bool described = false;   // the system has a device record for the port
    Transport transport = Transport::Unknown;
    char description[IdentityTextSize] = {};    // "USB-SERIAL CH340", without " (COMn)"
    char manufacturer[IdentityTextSize] = {};
    char vid[UsbIdSize] = {};                   // "0403", lower-case hex
    char pid[UsbIdSize] = {};
    char serial[IdentityTextSize] = {};         // a real USB serial number only
    char location[IdentityTextSize] = {};       // "1-1.2:1.0"; Windows: location paths or information
};

// "usb", "bluetooth", "native", "virtual"; null for Unknown.
const char* TransportWord(Transport transport);

// The text rules of the Windows reader, here so that they are tested
// natively. Every output is a bounded copy, always terminated; "none" is an
// empty text.

// `text` (UTF-8) into `out`, cut at a character boundary when it is longer.
void CopyIdentityText(const char* text, char* out, size_t capacity);

// A device's friendly name without the " (COMn)" Windows appends for the
// port's own number `comNumber`: "USB-SERIAL CH340 (COM7)" -> "USB-SERIAL CH340".
void DescriptionFromFriendlyName(const char* friendlyName, uint32_t comNumber, char* out,
                                 size_t capacity);

// The USB vendor and product ids ("0403", "6001", lower case) that a hardware
// or instance id names as VID_xxxx and PID_xxxx, whatever separates them
// ("USB\VID_0403&PID_6001&REV_0600", "FTDIBUS\VID_0403+PID_6001+A50285BIA\0000").
// False, and both empty, unless it names both.
bool UsbIdsFromDeviceId(const char* deviceId, char (&vid)[UsbIdSize], char (&pid)[UsbIdSize]);

// The USB serial number in a USB instance id ("USB\VID_0403&PID_6001\A50285BI"):
// its last part, unless that holds '&' (Windows made it up from the socket,
// "5&2B3A1F&0&2"). Any other enumerator gives none.
void UsbSerialFromInstanceId(const char* instanceId, char* out, size_t capacity);

// How a port is attached, by its instance id's enumerator (what precedes
// the first '\'). Unknown for an empty id.
Transport TransportFromInstanceId(const char* instanceId);

// Whether the port device is a function of a USB device, its parent, which
// alone knows the serial number and the socket: a USB serial bus driver's
// child (FTDIBUS\...) or one interface of a composite device (USB\...&MI_nn\...).
bool IdentityFromUsbParent(const char* instanceId);
