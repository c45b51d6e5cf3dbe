// The portable half of the port identity: the transport's word and the text
// rules that turn what Windows' device records say into an identity.
#include "link/port_identity.h"

#include <cstdio>
#include <cstring>

namespace {

char Upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Device ids are ASCII and Windows compares them without case.
bool StartsWithNoCase(const char* text, const char* prefix)
{
    for (; *prefix != '\0'; ++text, ++prefix)
        if (Upper(*text) != Upper(*prefix))
            return false;
    return true;
}

// The enumerator (what precedes the first '\') is `name`, in any case.
bool EnumeratorIs(const char* id, const char* name)
{
    return StartsWithNoCase(id, name) && id[std::strlen(name)] == '\\';
}

const char* FindNoCase(const char* text, const char* mark)
{
    for (; *text != '\0'; ++text)
        if (StartsWithNoCase(text, mark))
            return text;
    return nullptr;
}

bool IsHexDigit(char c)
{
    const char u = Upper(c);
    return (c >= '0' && c <= '9') || (u >= 'A' && u <= 'F');
}

// The four hex digits after `mark` ("VID_"), in lower case; false when the
// mark is missing or not followed by exactly four of them.
bool FourHexAfter(const char* id, const char* mark, char (&out)[UsbIdSize])
{
    const char* at = FindNoCase(id, mark);
    if (at == nullptr)
        return false;
    at += std::strlen(mark);
    for (size_t i = 0; i < 4; ++i) {
        if (!IsHexDigit(at[i]))
            return false;
        out[i] = at[i] >= 'A' && at[i] <= 'F' ? static_cast<char>(at[i] - 'A' + 'a') : at[i];
    }
    out[4] = '\0';
    return !IsHexDigit(at[4]);
}

}  // namespace

const char* TransportWord(Transport transport)
{
    switch (transport) {
    case Transport::Usb: return "usb";
    case Transport::Bluetooth: return "bluetooth";
    case Transport::Native: return "native";
    case Transport::Virtual: return "virtual";
    case Transport::Unknown: break;
    }
    return nullptr;
}

void CopyIdentityText(const char* text, char* out, size_t capacity)
{
    if (capacity == 0)
        return;
    size_t n = text == nullptr ? 0 : std::strlen(text);
    if (n >= capacity) {
        n = capacity - 1;
        // Back off over continuation bytes so that no character is cut in two.
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    }
    std::memcpy(out, text, n);
    out[n] = '\0';
}

void DescriptionFromFriendlyName(const char* friendlyName, uint32_t comNumber, char* out,
                                 size_t capacity)
{
    CopyIdentityText(friendlyName, out, capacity);
    char name[PortNameSize];
    FormatPortName(comNumber, name, sizeof name);
    char suffix[PortNameSize + 3];
    std::snprintf(suffix, sizeof suffix, " (%s)", name);
    const size_t length = std::strlen(out), suffixLength = std::strlen(suffix);
    if (length >= suffixLength && std::strcmp(out + length - suffixLength, suffix) == 0)
        out[length - suffixLength] = '\0';
}

bool UsbIdsFromDeviceId(const char* deviceId, char (&vid)[UsbIdSize], char (&pid)[UsbIdSize])
{
    if (deviceId != nullptr && FourHexAfter(deviceId, "VID_", vid) && FourHexAfter(deviceId, "PID_", pid))
        return true;
    vid[0] = pid[0] = '\0';
    return false;
}

void UsbSerialFromInstanceId(const char* instanceId, char* out, size_t capacity)
{
    CopyIdentityText("", out, capacity);
    if (instanceId == nullptr || !EnumeratorIs(instanceId, "USB"))
        return;
    const char* last = std::strrchr(instanceId, '\\') + 1;
    // Two parts only ("USB\VID_..."): the id names no instance at all.
    if (last == std::strchr(instanceId, '\\') + 1 || std::strchr(last, '&') != nullptr)
        return;
    CopyIdentityText(last, out, capacity);
}

// FTDIBUS is FTDI's own bus driver: it makes one port device per channel of
// an FTDI chip, a child of the USB device. USB serial drivers that sit on the
// USB device itself (CP210x, CH340, PL2303, usbser.sys for CDC ACM) keep the
// USB enumerator. ACPI, a PNP BIOS (*PNP0501), ISA PnP and PCI list the
// machine's own UARTs. BTHENUM lists Bluetooth serial port profile links.
// Anything else (ROOT, a software bus such as com0com's) has no hardware bus.
Transport TransportFromInstanceId(const char* instanceId)
{
    if (instanceId == nullptr || *instanceId == '\0')
        return Transport::Unknown;
    if (EnumeratorIs(instanceId, "USB") || EnumeratorIs(instanceId, "FTDIBUS"))
        return Transport::Usb;
    if (EnumeratorIs(instanceId, "BTHENUM"))
        return Transport::Bluetooth;
    if (EnumeratorIs(instanceId, "ACPI") || EnumeratorIs(instanceId, "ISAPNP") ||
        EnumeratorIs(instanceId, "PCI") || StartsWithNoCase(instanceId, "PNP") ||
        StartsWithNoCase(instanceId, "*PNP"))
        return Transport::Native;
    return Transport::Virtual;
}

bool IdentityFromUsbParent(const char* instanceId)
{
    if (instanceId == nullptr)
        return false;
    if (EnumeratorIs(instanceId, "FTDIBUS"))
        return true;
    const char* instance = std::strrchr(instanceId, '\\');
    const char* function = FindNoCase(instanceId, "&MI_");
    return EnumeratorIs(instanceId, "USB") && function != nullptr && function < instance;
}
