#include "wire/frame_text.h"

#include <cstdarg>
#include <cstdio>

#include "wire/codes.h"
#include "wire/gbk_text.h"

#if defined(__GNUC__)
#define QV_PRINTF_FORMAT __attribute__((format(printf, 2, 3)))
#else
#define QV_PRINTF_FORMAT
#endif

namespace {

// Appends to a fixed line, silently cutting at its end.
struct Out {
    char* p;
    size_t cap;
    size_t used;
    void Add(const char* format, ...) QV_PRINTF_FORMAT
    {
        if (used + 1 >= cap)
            return;
        va_list args;
        va_start(args, format);
        const int n = std::vsnprintf(p + used, cap - used, format, args);
        va_end(args);
        if (n > 0)
            used = used + static_cast<size_t>(n) < cap ? used + static_cast<size_t>(n) : cap - 1;
    }
};

const char* CodeName(uint8_t code)
{
    switch (code) {
    case GetNetConfig: return "GetNetConfig";
    case SetNetConfig: return "SetNetConfig";
    case RunShellCommand: return "RunShellCommand";
    case Heartbeat: return "Heartbeat";
    case GetAdminPassword: return "GetAdminPassword";
    case SetAdminPassword: return "SetAdminPassword";
    default: return nullptr;
    }
}

void AddAddresses(Out& o, const uint8_t* p)
{
    char ip[16], mask[16], gw[16];
    FormatDotted(GetAddress(p), ip, sizeof ip);
    FormatDotted(GetAddress(p + 4), mask, sizeof mask);
    FormatDotted(GetAddress(p + 8), gw, sizeof gw);
    o.Add("  ip %s  mask %s  gateway %s", ip, mask, gw);
}

// Text from `p` up to its first zero or the end of the payload.
void AddText(Out& o, const uint8_t* p, uint32_t length)
{
    uint32_t n = 0;
    while (n < length && p[n] != 0)
        ++n;
    char text[FrameTextSize];
    FormatText(p, n, text, sizeof text);
    o.Add("  %s", text);
    if (n == length)
        o.Add("  (no terminating 0)");
    else if (n + 1 < length)
        o.Add("  (+%u bytes after the 0)", length - n - 1);
}

void AddStatus(Out& o, uint8_t status)
{
    if (status == 0)
        o.Add("  ok");
    else
        o.Add("  status %u", status);
}

void AddLengthNote(Out& o, uint32_t length, uint32_t expected)
{
    o.Add("  payload %u bytes, expected %u", length, expected);
}

void DescribeRequest(Out& o, uint8_t code, const uint8_t* pl, uint32_t length, bool showPasswords)
{
    switch (code) {
    case SetNetConfig:
        if (length != NetConfigPayloadSize)
            AddLengthNote(o, length, NetConfigPayloadSize);
        if (length > NetConfigDhcpAt && pl[NetConfigDhcpAt] != 0)
            o.Add("  dhcp on");
        else if (length >= NetConfigAddressesAt + 12) {
            o.Add("  dhcp off");
            AddAddresses(o, pl + NetConfigAddressesAt);
        }
        break;
    case RunShellCommand:
        AddText(o, pl, length);
        break;
    case SetAdminPassword:
        if (length != PasswordFieldSize)
            AddLengthNote(o, length, PasswordFieldSize);
        if (showPasswords)
            AddText(o, pl, length < PasswordFieldSize ? length : PasswordFieldSize);
        else
            o.Add("  %s", MaskedPassword);
        break;
    default:
        if (length != 0) {
            char hex[FrameTextSize];
            FormatHex(pl, length, FrameHexShown, hex, sizeof hex);
            o.Add("  %s", hex);
        }
    }
}

void DescribeReply(Out& o, uint8_t code, const uint8_t* pl, uint32_t length, bool showPasswords)
{
    if (length == 0) {
        o.Add("  (no status byte)");
        return;
    }
    AddStatus(o, pl[0]);
    switch (code) {
    case ReplyCode(GetNetConfig):
        if (length < NetConfigReplySize)
            AddLengthNote(o, length, NetConfigReplySize);
        if (length > NetConfigReplyDhcpAt && pl[NetConfigReplyDhcpAt] != 0)
            o.Add("  dhcp on");
        else if (length >= NetConfigReplySize) {
            o.Add("  dhcp off");
        }
        if (length >= NetConfigReplySize)
            AddAddresses(o, pl + NetConfigReplyAddressesAt);
        break;
    case ReplyCode(GetAdminPassword):
        if (!showPasswords) {
            o.Add("  %s", MaskedPassword);
            break;
        }
        AddText(o, pl + 1, length - 1);
        break;
    case ReplyCode(RunShellCommand):
        AddText(o, pl + 1, length - 1);
        break;
    default:
        break;
    }
}

}  // namespace

void FormatHex(const uint8_t* bytes, uint32_t count, uint32_t maxShown, char* out, size_t capacity)
{
    Out o{out, capacity, 0};
    out[0] = '\0';
    const uint32_t shown = count < maxShown ? count : maxShown;
    for (uint32_t i = 0; i < shown; ++i)
        o.Add(i == 0 ? "%02X" : " %02X", bytes[i]);
    if (shown < count)
        o.Add(" ... (%u bytes)", count);
}

void FormatText(const uint8_t* bytes, uint32_t count, char* out, size_t capacity)
{
    Out o{out, capacity, 0};
    out[0] = '\0';
    o.Add("\"");
    const uint32_t shown = count < FrameTextShown ? count : FrameTextShown;
    uint32_t i = 0;
    while (i < shown) {
        const uint8_t b = bytes[i];
        if (b < 0x20 || b == 0x7F) {
            o.Add("\\x%02X", b);
            ++i;
            continue;
        }
        if (b == '"' || b == '\\') {
            o.Add("\\%c", b);
            ++i;
            continue;
        }
        char utf8[8];
        i += NextGbkCharacter(bytes + i, count - i, utf8);
        o.Add("%s", utf8);
    }
    o.Add("\"");
    if (shown < count)
        o.Add("... (%u bytes)", count);
}

void DescribeFrame(const uint8_t* frame, uint32_t total, char* out, size_t capacity,
                   bool showPasswords)
{
    Out o{out, capacity, 0};
    out[0] = '\0';
    const uint8_t code = FrameCode(frame);
    const uint8_t* payload = FramePayload(frame);
    const uint32_t length = total - FrameOverhead;
    const bool reply = (code & 1) == 0;
    const char* name = CodeName(reply ? static_cast<uint8_t>(code - 1) : code);
    if (name == nullptr || code == 0) {
        o.Add("%02X %-22s", code, "(unknown code)");
        if (length != 0) {
            char hex[FrameTextSize];
            FormatHex(payload, length, FrameHexShown, hex, sizeof hex);
            o.Add("  %s", hex);
        }
    } else {
        char label[32];
        std::snprintf(label, sizeof label, "%s%s", name, reply ? " reply" : "");
        o.Add("%02X %-22s", code, label);
        if (reply)
            DescribeReply(o, code, payload, length, showPasswords);
        else
            DescribeRequest(o, code, payload, length, showPasswords);
    }
    if (FrameReserved(frame) != 0)
        o.Add("  reserved 0x%02X", FrameReserved(frame));
    // Keep the column tidy when nothing follows the name.
    while (o.used > 0 && out[o.used - 1] == ' ')
        out[--o.used] = '\0';
}


void DescribeBadChecksum(const uint8_t* frame, uint32_t total, char* out, size_t capacity)
{
    Out o{out, capacity, 0};
    out[0] = '\0';
    char hex[FrameTextSize];
    FormatHex(frame, total, FrameHexShown, hex, sizeof hex);
    o.Add("bad checksum on code %02X (carries %04X, should be %04X), dropped: %s", FrameCode(frame),
          StoredChecksum(frame, total), Crc16(frame + 2, total - 4), hex);
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
