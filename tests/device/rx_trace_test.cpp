#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/device/device_test_util.h"
#include "tools/device/options.h"
#include "tools/device/rx_stream.h"
#include "tools/device/trace.h"

namespace {

struct Seen {
    RxKind kind;
    Bytes bytes;
};

struct Receiver {
    RxStream rx{};
    std::vector<Seen> seen;
    Receiver() { RxReset(rx); }
    static void Sink(void* cx, RxKind kind, const uint8_t* b, uint32_t n)
    {
        static_cast<Receiver*>(cx)->seen.push_back({kind, Bytes(b, b + n)});
    }
    void Feed(const Bytes& b, int64_t now = 0)
    {
        RxFeed(rx, b.data(), static_cast<uint32_t>(b.size()), now, Sink, this);
    }
    void Quiet(int64_t now) { RxQuiet(rx, now, Sink, this); }
};

const Bytes GetNet = Hex("55 AA 01 00 00 00 D8 01");

TEST(DeviceReceive, FramesSplitAnywhereAreFoundWhole)
{
    Bytes both = GetNet;
    const Bytes beat = Hex("55 AA 07 00 00 02 00 03 6D E0");
    both.insert(both.end(), beat.begin(), beat.end());
    for (size_t cut = 1; cut < both.size(); ++cut) {
        Receiver r;
        r.Feed(Bytes(both.begin(), both.begin() + static_cast<long>(cut)));
        r.Feed(Bytes(both.begin() + static_cast<long>(cut), both.end()));
        ASSERT_EQ(r.seen.size(), 2u) << cut;
        EXPECT_EQ(r.seen[0].kind, RxKind::Frame);
        EXPECT_EQ(r.seen[0].bytes, GetNet);
        EXPECT_EQ(r.seen[1].bytes, beat);
    }
}

TEST(DeviceReceive, GarbageBadChecksumsAndOverlongFramesAreNamedAndSkipped)
{
    Receiver r;
    Bytes in = Hex("01 02 55 03");                       // garbage, a lone 0x55 included
    const Bytes bad = Hex("55 AA 01 00 00 00 D8 02");          // checksum off by one bit
    const Bytes huge = Hex("55 AA 05 00 FF FF");              // 65535 payload bytes declared
    for (const Bytes* part : {&bad, &huge, &GetNet})
        in.insert(in.end(), part->begin(), part->end());
    r.Feed(in);
    ASSERT_EQ(r.seen.size(), 5u);
    EXPECT_EQ(r.seen[0].kind, RxKind::Garbage);
    EXPECT_EQ(r.seen[0].bytes, Hex("01 02 55 03"));
    EXPECT_EQ(r.seen[1].kind, RxKind::BadChecksum);
    EXPECT_EQ(r.seen[1].bytes, bad);
    EXPECT_EQ(r.seen[2].kind, RxKind::Oversize);
    EXPECT_EQ(r.seen[3].kind, RxKind::Garbage);           // the rest of the bogus header
    EXPECT_EQ(r.seen[3].bytes, Hex("05 00 FF FF"));
    EXPECT_EQ(r.seen[4].kind, RxKind::Frame);
    EXPECT_EQ(r.seen[4].bytes, GetNet);
}

TEST(DeviceReceive, AStalledFrameIsGivenUpOnlyAfterQuiet)
{
    Receiver r;
    r.Feed(Hex("55 AA 05 00 00 09 69 66"), 1000);
    r.Quiet(1000 + RxQuietMs - 1);
    EXPECT_TRUE(r.seen.empty());
    r.Quiet(1000 + RxQuietMs);
    ASSERT_EQ(r.seen.size(), 1u);
    EXPECT_EQ(r.seen[0].kind, RxKind::Incomplete);
    r.Feed(GetNet, 2000);   // and the next request is found again
    ASSERT_EQ(r.seen.size(), 2u);
    EXPECT_EQ(r.seen[1].kind, RxKind::Frame);
}

TEST(DeviceReceive, LongGarbageIsReportedInBoundedRuns)
{
    Receiver r;
    r.Feed(Bytes(1000, 0x11));
    uint32_t total = 0;
    for (const Seen& s : r.seen) {
        EXPECT_EQ(s.kind, RxKind::Garbage);
        EXPECT_LE(s.bytes.size(), MaxGarbageRun);
        total += static_cast<uint32_t>(s.bytes.size());
    }
    EXPECT_EQ(total, 1000u);
}

std::string Describe(const Bytes& frame)
{
    char line[TraceLineSize];
    DescribeFrame(frame.data(), static_cast<uint32_t>(frame.size()), line, sizeof line);
    return line;
}

TEST(DeviceTrace, FramesAreDecodedIntoTheirFields)
{
    EXPECT_EQ(Describe(GetNet), "01 GetNetConfig");
    EXPECT_EQ(Describe(Hex("55 AA 02 00 00 0E 00 00 C0 A8 01 0A FF FF FF 00 C0 A8 01 01 AA 73")),
              "02 GetNetConfig reply      ok  dhcp off  ip 192.168.1.10  mask 255.255.255.0  gateway 192.168.1.1");
    EXPECT_EQ(Describe(Hex("55 AA 08 00 00 01 01 91 05")), "08 Heartbeat reply         status 1");
    EXPECT_EQ(Describe(ShellRequest("ifconfig")), "05 RunShellCommand         \"ifconfig\"");
    // GBK shown as UTF-8, controls and quotes escaped: 已连接 "a" \t
    EXPECT_EQ(Describe(TextFrame(0x06, 0, "\xD2\xD1\xC1\xAC\xBD\xD3 \"a\"\t")),
              "06 RunShellCommand reply   ok  \"\xE5\xB7\xB2\xE8\xBF\x9E\xE6\x8E\xA5 \\\"a\\\"\\x09\"");
    EXPECT_EQ(Describe(Frame(0x03, Hex("01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"))),
              "03 SetNetConfig            dhcp on");
    EXPECT_EQ(Describe(Frame(0x21, Hex("AB CD"))), "21 (unknown code)          AB CD");
    EXPECT_EQ(Describe(Frame(0x0A, Hex("00 41 42"))), "0A GetAdminPassword reply  ok  \"AB\"  (no terminating 0)");
}

TEST(DeviceTrace, StrayBytesAreShownInHex)
{
    char line[TraceLineSize];
    const Bytes bad = Hex("55 AA 01 00 00 00 D8 02");
    DescribeReceived(RxKind::BadChecksum, bad.data(), 8, line, sizeof line);
    EXPECT_STREQ(line, "bad checksum on code 01 (carries D802, should be D801), dropped: 55 AA 01 00 00 00 D8 02");
    const Bytes junk = Hex("00 FF 7E");
    DescribeReceived(RxKind::Garbage, junk.data(), 3, line, sizeof line);
    EXPECT_STREQ(line, "3 bytes not a frame: 00 FF 7E");
    const Bytes many(100, 0x42);
    FormatHex(many.data(), 100, 4, line, sizeof line);
    EXPECT_STREQ(line, "42 42 42 42 ... (100 bytes)");
}

bool Parse(std::vector<const char*> args, DeviceOptions& o)
{
    args.insert(args.begin(), "quorvane-device");
    char error[256];
    return ParseOptions(static_cast<int>(args.size()), args.data(), o, error, sizeof error);
}

TEST(DeviceOptions, TheCommandLineSetsStateAndFaults)
{
    DeviceOptions o{};
    ASSERT_TRUE(Parse({"--dhcp", "on", "--ip", "10.0.0.2", "--password", "pw", "--status", "0x07=2",
                       "--status", "11=4", "--heartbeat-stop-after", "3", "--delay", "250",
                       "--corrupt-every", "5", "--noise", "--fragment", "--hangup-after", "9",
                       "--seed", "42", "--link", "/tmp/x", "--quiet"}, o));
    EXPECT_TRUE(o.state.dhcp);
    EXPECT_EQ(o.state.ipAddress, 0x0A000002u);
    EXPECT_STREQ(o.state.password, "pw");
    EXPECT_EQ(o.faults.status[7], 2);
    EXPECT_EQ(o.faults.status[0x0B], 4);
    EXPECT_EQ(o.faults.status[1], NoStatusOverride);
    EXPECT_EQ(o.faults.heartbeatStopMs, 3000);
    EXPECT_EQ(o.delayMs, 250u);
    EXPECT_EQ(o.corruptEvery, 5u);
    EXPECT_TRUE(o.noise && o.fragment && o.quiet && o.seedGiven);
    EXPECT_EQ(o.hangupMs, 9000);
    EXPECT_EQ(o.seed, 42u);

    ASSERT_TRUE(Parse({"--status", "all=1"}, o));
    EXPECT_EQ(o.faults.status[1], 1);
    EXPECT_EQ(o.faults.status[0x0B], 1);
}

TEST(DeviceOptions, BadCommandLinesAreRefused)
{
    DeviceOptions o{};
    EXPECT_FALSE(Parse({"--ip", "300.1.1.1"}, o));
    EXPECT_FALSE(Parse({"--dhcp", "maybe"}, o));
    EXPECT_FALSE(Parse({"--status", "7"}, o));
    EXPECT_FALSE(Parse({"--status", "7=256"}, o));
    EXPECT_FALSE(Parse({"--corrupt-every", "0"}, o));
    EXPECT_FALSE(Parse({"--delay", "-5"}, o));
    EXPECT_FALSE(Parse({"--bogus"}, o));
    EXPECT_FALSE(Parse({"--port"}, o));
}

}  // namespace
