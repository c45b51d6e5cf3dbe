// The virtual device's parts one by one: its answers and answering faults,
// its shell, its receive side, its pace at line speed, its trace and its
// command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/frames.h"
#include "device/answer.h"
#include "device/line_speed.h"
#include "device/options.h"
#include "device/rx_stream.h"
#include "device/shell.h"
#include "device/trace.h"

namespace {

struct Exchange {
    DeviceState state = DefaultDeviceState();
    AnswerFaults faults = NoAnswerFaults();
    std::vector<Bytes> replies;
    Unanswered Ask(const Bytes& request, int64_t elapsedMs = 0)
    {
        replies.clear();
        return AnswerRequest(state, faults, elapsedMs, request.data(), static_cast<uint32_t>(request.size()),
                             [](void* cx, const uint8_t* f, uint32_t n) {
                                 static_cast<Exchange*>(cx)->replies.emplace_back(f, f + n);
                             }, this);
    }
    // The one reply to `request`, or nothing when there were none or several.
    Bytes One(const Bytes& request, int64_t elapsedMs = 0)
    {
        Ask(request, elapsedMs);
        return replies.size() == 1 ? replies[0] : Bytes{};
    }
};

const Bytes GetNet = Hex("55 AA 01 00 00 00 D8 01");
const Bytes GetPassword = Hex("55 AA 09 00 00 00 B8 03");
const Bytes Beat = Hex("55 AA 07 00 00 02 00 03 6D E0");
const Bytes Ifconfig = Hex("55 AA 05 00 00 09 69 66 63 6F 6E 66 69 67 00 A5 CC");
const Bytes SetDhcpOn = MakeFrame(0x03, Hex("01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"));
const Bytes SetStatic = Hex("55 AA 03 00 00 15 00 C0 A8 01 0A FF FF FF 00 C0 A8 01 01 00 00 00 00 00 00 00 00 D4 1D");

Bytes PasswordRequest(const std::string& text)
{
    Bytes field(16, 0);
    for (size_t i = 0; i < text.size() && i < 16; ++i)
        field[i] = static_cast<uint8_t>(text[i]);
    return MakeFrame(0x0B, field);
}

std::vector<std::string> Shell(const DeviceState& state, const std::string& command)
{
    std::vector<std::string> lines;
    RunShell(state, command.data(), static_cast<uint32_t>(command.size()),
             [](void* cx, const char* line) { static_cast<std::vector<std::string>*>(cx)->push_back(line); }, &lines);
    return lines;
}

}  // namespace

TEST(DeviceAnswers, RepliesByteForByteAndStateChanges)
{
    Exchange x;
    EXPECT_EQ(x.One(GetNet), Hex("55 AA 02 00 00 0E 00 00 C0 A8 01 0A FF FF FF 00 C0 A8 01 01 AA 73"));
    EXPECT_EQ(x.One(Beat), Hex("55 AA 08 00 00 01 00 51 C4"));
    EXPECT_EQ(x.One(GetPassword), Hex("55 AA 0A 00 00 07 00 61 64 6D 69 6E 00 B3 FF"));   // "admin"
    EXPECT_EQ(x.One(SetStatic), Hex("55 AA 04 00 00 01 00 50 D4"));
    EXPECT_EQ(x.Ask(Ifconfig), Unanswered::No);
    ASSERT_EQ(x.replies.size(), 15u);
    for (const Bytes& r : x.replies)
        EXPECT_EQ(r, TextReply(0x06, 0, ReplyText(r)));   // one line per reply: status 0, text, 0

    // 10.20.30.40 / 255.255.0.0 via 10.20.0.1, then DHCP on, which keeps them.
    x.Ask(MakeFrame(0x03, Hex("00 0A 14 1E 28 FF FF 00 00 0A 14 00 01 00 00 00 00 00 00 00 00")));
    EXPECT_EQ(x.One(GetNet), MakeFrame(0x02, Hex("00 00 0A 14 1E 28 FF FF 00 00 0A 14 00 01")));
    x.Ask(SetDhcpOn);
    EXPECT_EQ(x.One(GetNet), MakeFrame(0x02, Hex("00 01 0A 14 1E 28 FF FF 00 00 0A 14 00 01")));

    // The password field as the request carries it: up to its 0 or 16 bytes.
    for (const char* stored : {"secret", "ABCDEFGHIJKLMNOP", "\xC3\xDC\xC2\xEB"}) {
        EXPECT_EQ(x.One(PasswordRequest(stored + std::string("QRS"))), Hex("55 AA 0C 00 00 01 00 91 35"));
        EXPECT_EQ(ReplyText(x.One(GetPassword)), std::string(stored + std::string("QRS")).substr(0, 16));
    }
    // Requests of the wrong size are refused and change nothing.
    EXPECT_EQ(x.One(MakeFrame(0x03, Hex("00 0A 00 00 01"))), MakeFrame(0x04, {BadRequestStatus}));
    EXPECT_EQ(x.One(MakeFrame(0x0B, Hex("41 42 43"))), MakeFrame(0x0C, {BadRequestStatus}));
    EXPECT_EQ(x.state.ipAddress, 0x0A141E28u);
    EXPECT_STREQ(x.state.password, "\xC3\xDC\xC2\xEB" "QRS");
    for (uint8_t code : {0x00, 0x02, 0x08, 0x0D, 0xFF})
        EXPECT_EQ(x.Ask(MakeFrame(code, {})), Unanswered::UnknownCode) << int(code);
}

TEST(DeviceAnswers, Faults)
{
    Exchange silent;
    silent.faults.silent = true;
    for (const Bytes& r : {GetNet, Beat, SetDhcpOn})
        EXPECT_EQ(silent.Ask(r), Unanswered::Silent);
    EXPECT_FALSE(silent.state.dhcp);

    Exchange only;
    only.faults.onlyNetConfig = true;
    EXPECT_EQ(only.One(GetNet).size(), 22u);
    for (const Bytes& r : {GetPassword, Beat, Ifconfig, SetStatic})
        EXPECT_EQ(only.Ask(r), Unanswered::OnlyNetConfig);

    Exchange late;
    late.faults.heartbeatStopMs = 5000;
    EXPECT_EQ(late.One(Beat, 4999).size(), 9u);
    EXPECT_EQ(late.Ask(Beat, 5000), Unanswered::HeartbeatStopped);
    EXPECT_EQ(late.One(GetPassword, 9000).size(), 15u);

    Exchange refused;
    refused.faults.status[0x07] = 3;
    EXPECT_EQ(refused.One(Beat), MakeFrame(0x08, {3}));
    EXPECT_EQ(refused.One(GetNet)[6], 0);
    refused.faults.status.fill(1);
    EXPECT_EQ(refused.One(SetDhcpOn), MakeFrame(0x04, {1}));
    EXPECT_EQ(refused.One(PasswordRequest("new")), MakeFrame(0x0C, {1}));
    EXPECT_EQ(refused.One(GetPassword), TextReply(0x0A, 1, "admin"));
    EXPECT_FALSE(refused.state.dhcp);
}

TEST(DeviceShell, Commands)
{
    DeviceState s = DefaultDeviceState();
    auto lines = Shell(s, "ifconfig");
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_EQ(lines[1], "          inet addr:192.168.1.10  Bcast:192.168.1.255  Mask:255.255.255.0");
    ASSERT_TRUE(ParseDotted("172.16.5.9", &s.ipAddress));
    ASSERT_TRUE(ParseDotted("255.255.240.0", &s.subnetMask));
    ASSERT_TRUE(ParseDotted("172.16.0.254", &s.gateway));
    EXPECT_EQ(Shell(s, "ifconfig")[1], "          inet addr:172.16.5.9  Bcast:172.16.15.255  Mask:255.255.240.0");
    lines = Shell(s, "route");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2].substr(0, 32), "0.0.0.0         172.16.0.254    ");
    EXPECT_EQ(lines[3], "172.16.0.0      0.0.0.0         255.255.240.0   U     0      0        0 eth0");

    lines = Shell(s, "ping 192.168.1.1 -c 4");
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], "PING 192.168.1.1 (192.168.1.1): 56 data bytes");
    EXPECT_EQ(lines[4].rfind("64 bytes from 192.168.1.1: seq=3 ttl=64 time=", 0), 0u);
    EXPECT_EQ(lines[7], "4 packets transmitted, 4 packets received, 0% packet loss");
    EXPECT_EQ(Shell(s, "ping -c 2 8.8.8.8").size(), 7u);
    EXPECT_EQ(Shell(s, "ping nowhere"), std::vector<std::string>{"ping: bad address 'nowhere'"});
    EXPECT_EQ(Shell(s, "  ls  "), std::vector<std::string>{"sh: ls: not found"});
    EXPECT_TRUE(Shell(s, "   ").empty());
    EXPECT_EQ(Shell(s, "echo \xC4\xE3\xBA\xC3  x"), std::vector<std::string>{"\xC4\xE3\xBA\xC3 x"});
    EXPECT_EQ(Shell(s, "help").size(), 2u);
    lines = Shell(s, std::string(1005, 'z'));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_LE(lines[0].size(), MaxSentTextBytes);
}

TEST(DeviceReceive, FramesGarbageAndStalls)
{
    struct Seen { RxKind kind; Bytes bytes; };
    std::vector<Seen> seen;
    RxStream rx{};
    RxReset(rx);
    auto sink = [](void* cx, RxKind k, const uint8_t* b, uint32_t n) {
        static_cast<std::vector<Seen>*>(cx)->push_back({k, Bytes(b, b + n)});
    };
    auto feed = [&](const Bytes& b, int64_t now) { RxFeed(rx, b.data(), static_cast<uint32_t>(b.size()), now, sink, &seen); };

    // Split anywhere, two frames are still found whole.
    const Bytes both = Hex("55 AA 01 00 00 00 D8 01 55 AA 07 00 00 02 00 03 6D E0");
    for (long cut = 1; cut < static_cast<long>(both.size()); ++cut) {
        seen.clear();
        feed(Bytes(both.begin(), both.begin() + cut), 0);
        feed(Bytes(both.begin() + cut, both.end()), 0);
        ASSERT_EQ(seen.size(), 2u) << cut;
        EXPECT_EQ(seen[1].bytes, Bytes(both.begin() + 8, both.end()));
    }
    // Garbage (a lone 0x55 included), a bad checksum, an over-long header.
    seen.clear();
    feed(Hex("01 02 55 03 55 AA 01 00 00 00 D8 02 55 AA 05 00 FF FF 55 AA 01 00 00 00 D8 01"), 0);
    const RxKind kinds[] = {RxKind::Garbage, RxKind::BadChecksum, RxKind::Oversize, RxKind::Garbage, RxKind::Frame};
    ASSERT_EQ(seen.size(), 5u);
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(seen[i].kind, kinds[i]) << i;
    EXPECT_EQ(seen[3].bytes, Hex("05 00 FF FF"));

    // A stalled start is given up only after the quiet time.
    seen.clear();
    feed(Hex("55 AA 05 00 00 09 69 66"), 1000);
    RxQuiet(rx, 1000 + RxQuietMs - 1, sink, &seen);
    EXPECT_TRUE(seen.empty());
    RxQuiet(rx, 1000 + RxQuietMs, sink, &seen);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].kind, RxKind::Incomplete);
}

// The trace decodes fields and shows GBK as UTF-8 with controls and quotes
// escaped (what the device program's trace holds is checked end to end).
// The pace on a fake clock: a sleep moves the time to its moment, plus
// whatever lateness the test gives the next wake-up; each write is noted
// with the moment it happened.
struct FakeLine {
    int64_t now = 5000;
    int64_t lateBy = 0;   // the next wake-up only
    uint32_t takes = 0xFFFFFFFFu;   // bytes the line takes before it is full
    std::vector<std::pair<int64_t, uint32_t>> writes;
    LinePace pace{PaceClock{this, [](void* cx) { return static_cast<FakeLine*>(cx)->now; },
                            [](void* cx, int64_t until) {
                                auto& f = *static_cast<FakeLine*>(cx);
                                f.now = std::max(f.now, until) + f.lateBy;
                                f.lateBy = 0;
                            }},
                  0};
    uint32_t Send(uint32_t count)
    {
        const std::vector<uint8_t> bytes(count, 0x41);
        return SendAtLineSpeed(pace, bytes.data(), count, [](void* cx, const uint8_t*, uint32_t n) {
            auto& f = *static_cast<FakeLine*>(cx);
            n = std::min(n, f.takes);
            f.takes -= n;
            if (n != 0)
                f.writes.emplace_back(f.now, n);
            return n;
        }, this);
    }
};

TEST(DeviceLineSpeed, ByteTimes)
{
    EXPECT_EQ(WireMicroseconds(0), 0);
    EXPECT_EQ(WireMicroseconds(1), 87);          // 86.8 µs, rounded up
    EXPECT_EQ(WireMicroseconds(100), 8681);
    EXPECT_EQ(WireMicroseconds(11520), 1000000);  // a second carries 11,520 bytes
}

TEST(DeviceLineSpeed, SendsEachByteAtItsMomentWithoutDrift)
{
    FakeLine line;
    ASSERT_EQ(line.Send(1000), 1000u);
    ASSERT_EQ(line.writes.size(), 1000u);   // one byte a write: evenly, never a burst
    for (uint32_t i = 0; i < 1000; ++i)
        ASSERT_EQ(line.writes[i].first, 5000 + WireMicroseconds(i + 1)) << "byte " << i;
    EXPECT_EQ(line.now, 5000 + 86806);

    // A wake-up 300 µs late hands over the bytes it covers at once; the ones
    // after keep their moments.
    FakeLine late;
    late.now = 0;
    late.lateBy = 300;
    ASSERT_EQ(late.Send(10), 10u);
    EXPECT_EQ(late.writes.front(), std::make_pair(int64_t{387}, 4u));   // 87, 174, 261, 348 are past
    EXPECT_EQ(late.writes[1], std::make_pair(WireMicroseconds(5), 1u));
    EXPECT_EQ(late.writes.back().first, WireMicroseconds(10));

    // The next frame follows from the moment the last byte went.
    late.writes.clear();
    ASSERT_EQ(late.Send(2), 2u);
    EXPECT_EQ(late.writes.front().first, WireMicroseconds(10) + WireMicroseconds(1));

    // A full line stops the frame; the line is free after what went.
    FakeLine full;
    full.now = 0;
    full.takes = 4;
    EXPECT_EQ(full.Send(9), 4u);
}

TEST(DeviceLineSpeed, TakesARequestOnceItsLastByteIsThrough)
{
    FakeLine line;
    ReceiveAtLineSpeed(line.pace, 24);   // SetAdminPassword: 24 bytes
    EXPECT_EQ(line.now, 5000 + WireMicroseconds(24));
    // Bytes read while a request would still be arriving queue behind it.
    line.now -= 1000;
    ReceiveAtLineSpeed(line.pace, 8);
    EXPECT_EQ(line.now, 5000 + WireMicroseconds(24) + WireMicroseconds(8));
}

TEST(DeviceTrace, FramesAreDecoded)
{
    auto describe = [](const Bytes& f) {
        char line[TraceLineSize];
        DescribeFrame(f.data(), static_cast<uint32_t>(f.size()), line, sizeof line);
        return std::string(line);
    };
    EXPECT_EQ(describe(Hex("55 AA 02 00 00 0E 00 00 C0 A8 01 0A FF FF FF 00 C0 A8 01 01 AA 73")),
              "02 GetNetConfig reply      ok  dhcp off  ip 192.168.1.10  mask 255.255.255.0  gateway 192.168.1.1");
    EXPECT_EQ(describe(TextReply(0x06, 1, "\xD2\xD1\xC1\xAC\xBD\xD3 \"a\"\t")),   // 已连接 "a" \t
              "06 RunShellCommand reply   status 1  \"\xE5\xB7\xB2\xE8\xBF\x9E\xE6\x8E\xA5 \\\"a\\\"\\x09\"");
    EXPECT_EQ(describe(MakeFrame(0x0A, Hex("00 41 42"))), "0A GetAdminPassword reply  ok  \"AB\"  (no terminating 0)");
}

TEST(DeviceOptions, CommandLine)
{
    std::string message;
    auto parse = [&message](std::vector<const char*> args, DeviceOptions& o) {
        args.insert(args.begin(), "quorvane-device");
        return ParseOptions(static_cast<int>(args.size()), args.data(), o, message);
    };
    DeviceOptions o{};
    ASSERT_TRUE(parse({}, o));
    EXPECT_FALSE(o.noise || o.fragment || o.quiet || o.seedGiven || o.help || o.wallClock || o.lineSpeed ||
                 o.state.dhcp);
    EXPECT_EQ(o.state.gateway, 0xC0A80101u);
    EXPECT_STREQ(o.state.password, "admin");
    EXPECT_EQ(o.faults.heartbeatStopMs, -1);
    EXPECT_EQ(o.hangupMs, -1);
    EXPECT_EQ(o.noiseEvery, 1u);
    EXPECT_EQ(o.delayMs + o.corruptEvery, 0u);
    EXPECT_TRUE(o.port.empty() && o.link.empty() && o.framesLog.empty());

    ASSERT_TRUE(parse({"--dhcp", "on", "--ip", "10.0.0.2", "--password", "pw", "--status", "0x07=2", "--status",
                       "11=4", "--heartbeat-stop-after", "3", "--delay", "250", "--corrupt-every", "5", "--noise",
                       "--fragment", "--hangup-after", "9", "--seed", "42", "--quiet", "--line-speed"}, o)) << message;
    EXPECT_TRUE(o.state.dhcp && o.noise && o.fragment && o.quiet && o.seedGiven && o.lineSpeed);
    EXPECT_EQ(o.state.ipAddress, 0x0A000002u);
    EXPECT_STREQ(o.state.password, "pw");
    EXPECT_EQ(o.faults.status[7], 2);
    EXPECT_EQ(o.faults.status[0x0B], 4);
    EXPECT_EQ(o.faults.status[1], NoStatusOverride);
    EXPECT_EQ(o.faults.heartbeatStopMs, 3000);
    EXPECT_EQ(o.delayMs + o.corruptEvery + o.seed, 250u + 5u + 42u);
    EXPECT_EQ(o.hangupMs, 9000);
    // Statuses apply in order; a value given twice counts last; --noise-every implies --noise.
    ASSERT_TRUE(parse({"--status", "all=1", "--status", "7=0", "--mask", "255.0.0.0", "--mask", "255.255.0.0",
                       "--noise-every", "9", "--dhcp", "off", "--port", "/dev/ttyS1", "--link", "L", "--frames-log",
                       "F", "--wall-clock", "--seed", "0xFFFFFFFF"}, o)) << message;
    EXPECT_EQ(o.faults.status[0x0B], 1);
    EXPECT_EQ(o.faults.status[7], 0);
    EXPECT_EQ(o.state.subnetMask, 0xFFFF0000u);
    EXPECT_TRUE(o.noise && o.wallClock && !o.state.dhcp);
    EXPECT_EQ(o.noiseEvery, 9u);
    EXPECT_EQ(o.seed, 0xFFFFFFFFu);
    EXPECT_EQ(o.port + o.link + o.framesLog, "/dev/ttyS1LF");
    const std::string p99(99, 'p'), p100(100, 'p');
    ASSERT_TRUE(parse({"--ip", "255.254.1.10", "--password", p99.c_str(), "--heartbeat-stop-after", "0"}, o));
    EXPECT_EQ(o.state.ipAddress, 0xFFFE010Au);
    EXPECT_EQ(o.state.password, p99);
    EXPECT_EQ(o.faults.heartbeatStopMs, 0);
    for (auto bad : {std::vector<const char*>{"--ip", "256.1.1.1"}, {"--ip", "1.2.3"}, {"--ip", "1.2.3.4.5"},
                     {"--ip", "1..2.3"}, {"--ip", "0001.2.3.4"}, {"--ip", "1.2.3.4 "}, {"--password", p100.c_str()},
                     {"--dhcp", "maybe"}, {"--status", "7"}, {"--status", "7=256"}, {"--status", "256=1"},
                     {"--status", "7=1", "8=1"}, {"--status", "x=1"}, {"--status", "all=-1"}, {"--corrupt-every", "0"},
                     {"--noise-every", "0"},
                     {"--delay", "-5"}, {"--delay", "60001"}, {"--hangup-after", "86401"},
                     {"--heartbeat-stop-after", "86401"}, {"--seed", "4294967296"}, {"--bogus"}, {"--port"},
                     {"stray"}})
        EXPECT_FALSE(parse(bad, o)) << bad[0] << " " << (bad.size() > 1 ? bad[1] : "");
    ASSERT_TRUE(parse({"--delay", "5", "--help"}, o));
    EXPECT_TRUE(o.help);
    for (const char* shown : {"--heartbeat-stop-after SEC", "--status CODE=N", "TXN <hex>", "at most 99 bytes"})
        EXPECT_NE(message.find(shown), std::string::npos) << shown;
}
