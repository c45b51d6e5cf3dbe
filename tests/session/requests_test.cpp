// The six requests, byte for byte as the device expects them, each written in
// exactly one call (the frame tap sees each write once), and what a sender
// reports when it writes nothing.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "session/device_client.h"
#include "tests/support/frames.h"

namespace {

std::vector<Bytes> writes;
SerialPort port;   // never opened: the writes go no further than the tap
DeviceClient client{&port, ReplyHandler{}, FrameTap{}};

void Tapped(void*, const uint8_t* frame, uint32_t total) { writes.emplace_back(frame, frame + total); }

Bytes Cat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// What one call wrote; nothing at all is an empty list.
std::vector<Bytes> Writes(const std::function<void()>& send)
{
    client.tap = FrameTap{nullptr, Tapped, nullptr, nullptr};
    writes.clear();
    send();
    return writes;
}

TEST(Requests, EachIsOneExactFrame)
{
    const std::string p1005(1005, 'p'), x1015(1015, 'x');
    const struct { const char* what; std::function<void()> send; Bytes frame; } cases[] = {
        {"get net", [] { SendGetNetConfig(client); }, Hex("55 AA 01 00 00 00 D8 01")},
        {"get password", [] { SendGetAdminPassword(client); }, Hex("55 AA 09 00 00 00 B8 03")},
        {"heartbeat", [] { SendHeartbeat(client); }, Hex("55 AA 07 00 00 02 00 03 6D E0")},
        {"ifconfig", [] { SendShellCommand(client, "ifconfig"); },
         Hex("55 AA 05 00 00 09 69 66 63 6F 6E 66 69 67 00 A5 CC")},
        {"route", [] { SendShellCommand(client, "route"); }, Hex("55 AA 05 00 00 06 72 6F 75 74 65 00 8A A9")},
        // GBK typed by the technician travels unchanged, with its terminator.
        {"gbk", [] { SendShellCommand(client, "echo \xC4\xE3"); }, MakeFrame(0x05, Hex("65 63 68 6F 20 C4 E3 00"))},
        // The longest command the dialog passes (1000 bytes and " -c 4"), and
        // 1015 bytes, which fill the 1024-byte frame buffer exactly.
        {"1005", [&] { SendShellCommand(client, p1005.c_str()); },
         Cat(Cat(Hex("55 AA 05 00 03 EE"), Bytes(1005, 'p')), Hex("00 53 DC"))},
        {"1015", [&] { SendShellCommand(client, x1015.c_str()); }, MakeFrame(0x05, Cat(Bytes(1015, 'x'), {0}))},
        // DHCP on: the addresses are not sent.
        {"dhcp on", [] { SendSetNetConfig(client, true, 0xC0A8010A, 0xFFFFFF00, 0xC0A80101); },
         Cat(Cat(Hex("55 AA 03 00 00 15 01"), Bytes(20, 0)), Hex("4B 1D"))},
        {"dhcp off", [] { SendSetNetConfig(client, false, 0xC0A8010A, 0xFFFFFF00, 0xC0A80101); },
         Cat(Cat(Hex("55 AA 03 00 00 15 00 C0 A8 01 0A FF FF FF 00 C0 A8 01 01"), Bytes(8, 0)), Hex("D4 1D"))},
        // The password field is 16 bytes: zero padded, or full without a
        // terminator, never more.
        {"password a", [] { SendSetAdminPassword(client, "a"); }, Cat(Cat(Hex("55 AA 0B 00 00 10 61"), Bytes(15, 0)), Hex("1C 65"))},
        {"password 16", [] { SendSetAdminPassword(client, "0123456789abcdef"); },
         MakeFrame(0x0B, Hex("30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66"))},
        {"password 20", [] { SendSetAdminPassword(client, "0123456789abcdefGHIJ"); },
         MakeFrame(0x0B, Hex("30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66"))},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Writes(c.send), std::vector<Bytes>{c.frame}) << c.what;
}

TEST(Requests, TooLongOrNullTextsSendNothingAndSaySo)
{
    const std::string x1016(1016, 'x'), x5000(5000, 'x');
    const struct {
        const char* text;
        Status status;
    } cases[] = {{x1016.c_str(), Status::TooLong}, {x5000.c_str(), Status::TooLong}, {nullptr, Status::NoText}};
    for (const auto& c : cases) {
        Result result{};
        EXPECT_TRUE(Writes([&] { result = SendShellCommand(client, c.text); }).empty());
        EXPECT_EQ(result.status, c.status);
    }
    Result password{};
    EXPECT_TRUE(Writes([&] { password = SendSetAdminPassword(client, nullptr); }).empty());
    EXPECT_EQ(password.status, Status::NoText);
    EXPECT_EQ(SendHeartbeat(client).status, Status::NotOpen) << "no port: the caller is told";
}

}  // namespace
