#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "tests/device/device_process.h"

namespace {

const Bytes GetNet = Hex("55 AA 01 00 00 00 D8 01");
const Bytes GetPassword = Hex("55 AA 09 00 00 00 B8 03");
const Bytes Beat = Hex("55 AA 07 00 00 02 00 03 6D E0");
const Bytes NetReply = Hex("55 AA 02 00 00 0E 00 00 C0 A8 01 0A FF FF FF 00 C0 A8 01 01 AA 73");
const Bytes BeatReply = Hex("55 AA 08 00 00 01 00 51 C4");

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(DeviceProgram, HoldsAConversationAndLogsEveryFrame)
{
    DeviceProcess d;
    ASSERT_TRUE(d.Start({}));
    d.Send(GetNet);
    EXPECT_EQ(d.ReadFrames(1, 2000), NetReply);
    d.Send(GetPassword);
    EXPECT_EQ(d.ReadFrames(1, 2000), TextFrame(0x0A, 0, "admin"));
    d.Send(Beat);
    EXPECT_EQ(d.ReadFrames(1, 2000), BeatReply);
    d.Send(Hex("55 AA 03 00 00 15 00 C0 A8 01 0A FF FF FF 00 C0 A8 01 01 00 00 00 00 00 00 00 00 D4 1D"));
    EXPECT_EQ(d.ReadFrames(1, 2000), Hex("55 AA 04 00 00 01 00 50 D4"));
    Bytes field(16, 0);
    field[0] = 'n';
    field[1] = 'u';
    d.Send(Frame(0x0B, field));
    EXPECT_EQ(d.ReadFrames(1, 2000), Hex("55 AA 0C 00 00 01 00 91 35"));
    d.Send(GetPassword);
    EXPECT_EQ(d.ReadFrames(1, 2000), TextFrame(0x0A, 0, "nu"));
    d.Send(Hex("55 AA 05 00 00 09 69 66 63 6F 6E 66 69 67 00 A5 CC"));
    const auto lines = SplitFrames(d.ReadFrames(15, 3000));
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_TRUE(Contains(ReplyText(lines[1]), "inet addr:192.168.1.10"));
    EXPECT_EQ(d.Stop(), 0);

    const std::string log = ReadWholeFile(d.framesLog);
    EXPECT_TRUE(Contains(log, " RX 55 AA 01 00 00 00 D8 01\n"));
    EXPECT_TRUE(Contains(log, " TX 55 AA 08 00 00 01 00 51 C4\n"));
    const std::string trace = ReadWholeFile(d.traceFile);
    EXPECT_TRUE(Contains(trace, "RX   05 RunShellCommand         \"ifconfig\""));
    EXPECT_TRUE(Contains(trace, "TX   0A GetAdminPassword reply  ok  \"nu\""));
}

TEST(DeviceProgram, BadInputIsTracedAndNeverStopsIt)
{
    DeviceProcess d;
    ASSERT_TRUE(d.Start({}));
    d.Send(Hex("00 13 37 FE"));
    d.Send(Hex("55 AA 01 00 00 00 D8 02"));                 // bad checksum
    d.Send(Frame(0x21, Hex("01 02")));                     // unknown code
    d.Send(Hex("55 AA 05 00 10 00"));                      // declares 4096 payload bytes
    d.ReadFor(200);
    d.Send(GetNet);
    EXPECT_EQ(SplitFrames(d.ReadFrames(1, 2000)), std::vector<Bytes>{NetReply});
    EXPECT_EQ(d.Stop(), 0);
    const std::string trace = ReadWholeFile(d.traceFile);
    EXPECT_TRUE(Contains(trace, "not a frame: 00 13 37 FE"));
    EXPECT_TRUE(Contains(trace, "bad checksum on code 01"));
    EXPECT_TRUE(Contains(trace, "21 (unknown code)"));
    EXPECT_TRUE(Contains(trace, "over-long frame declares 4096 payload bytes"));
    EXPECT_TRUE(Contains(ReadWholeFile(d.framesLog), " RX? 00 13 37 FE\n"));
}

TEST(DeviceFaultModes, SilentAndOnlyNetConfig)
{
    DeviceProcess silent;
    ASSERT_TRUE(silent.Start({"--silent"}));
    silent.Send(GetNet);
    silent.Send(Beat);
    EXPECT_TRUE(silent.ReadFor(400).empty());
    EXPECT_TRUE(Contains(ReadWholeFile(silent.framesLog), " RX 55 AA 07"));

    DeviceProcess only;
    ASSERT_TRUE(only.Start({"--only-netconfig"}));
    only.Send(Beat);
    only.Send(GetPassword);
    EXPECT_TRUE(only.ReadFor(400).empty());
    only.Send(GetNet);
    EXPECT_EQ(only.ReadFrames(1, 2000), NetReply);
}

TEST(DeviceFaultModes, HeartbeatsStopAfterTheGivenTime)
{
    DeviceProcess d;
    ASSERT_TRUE(d.Start({"--heartbeat-stop-after", "1"}));
    d.Send(Beat);
    EXPECT_EQ(d.ReadFrames(1, 900), BeatReply);
    while (d.SinceStartMs() < 1300)
        usleep(20000);
    d.Send(Beat);
    EXPECT_TRUE(d.ReadFor(400).empty());
    d.Send(GetNet);
    EXPECT_EQ(d.ReadFrames(1, 2000), NetReply);

    DeviceProcess never;
    ASSERT_TRUE(never.Start({"--heartbeat-stop-after", "0"}));
    never.Send(Beat);
    EXPECT_TRUE(never.ReadFor(400).empty());
}

TEST(DeviceFaultModes, StatusAndDelay)
{
    DeviceProcess d;
    ASSERT_TRUE(d.Start({"--status", "0x07=5", "--delay", "300"}));
    const long long sent = d.SinceStartMs();
    d.Send(Beat);
    const auto chunks = d.ReadChunks(2000);
    ASSERT_FALSE(chunks.empty());
    EXPECT_GE(chunks.front().atMs - sent, 290);
    Bytes all;
    for (const Chunk& c : chunks)
        all.insert(all.end(), c.bytes.begin(), c.bytes.end());
    EXPECT_EQ(all, Frame(0x08, {5}));
}

TEST(DeviceFaultModes, EveryNthReplyHasOneChecksumBitFlipped)
{
    DeviceProcess d;
    ASSERT_TRUE(d.Start({"--corrupt-every", "2"}));
    for (int i = 0; i < 4; ++i)
        d.Send(Beat);
    const auto replies = SplitFrames(d.ReadFrames(4, 2000));
    ASSERT_EQ(replies.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(Bytes(replies[i].begin(), replies[i].end() - 2), Bytes(BeatReply.begin(), BeatReply.end() - 2));
        const unsigned diff = ((replies[i][7] ^ BeatReply[7]) << 8) | (replies[i][8] ^ BeatReply[8]);
        const bool oneBit = diff != 0 && (diff & (diff - 1)) == 0;
        EXPECT_EQ(oneBit, i % 2 == 1) << i;
        EXPECT_EQ(diff == 0, i % 2 == 0) << i;
    }
    EXPECT_EQ(d.Stop(), 0);
    const std::string log = ReadWholeFile(d.framesLog);
    size_t corrupted = 0;
    for (size_t at = log.find(" TXC "); at != std::string::npos; at = log.find(" TXC ", at + 1))
        ++corrupted;
    EXPECT_EQ(corrupted, 2u);
}

TEST(DeviceFaultModes, NoiseComesBetweenIntactReplies)
{
    DeviceProcess d;
    ASSERT_TRUE(d.Start({"--noise"}));
    Bytes all;
    for (int i = 0; i < 3; ++i) {
        d.Send(Beat);
        const Bytes got = d.ReadFrames(1, 2000);
        all.insert(all.end(), got.begin(), got.end());
    }
    EXPECT_EQ(SplitFrames(all), (std::vector<Bytes>{BeatReply, BeatReply, BeatReply}));
    EXPECT_GT(all.size(), 3 * BeatReply.size());
    size_t starts = 0;
    for (uint8_t b : all)
        starts += b == 0x55;
    EXPECT_EQ(starts, 3u);   // noise never holds a start byte
}

TEST(DeviceFaultModes, FragmentDeliversEachReplyInPieces)
{
    DeviceProcess d;
    ASSERT_TRUE(d.Start({"--fragment"}));
    d.Send(GetNet);
    std::vector<Chunk> chunks;
    Bytes all;
    for (int i = 0; i < 100 && SplitFrames(all).empty(); ++i) {
        for (const Chunk& c : d.ReadChunks(20)) {
            chunks.push_back(c);
            all.insert(all.end(), c.bytes.begin(), c.bytes.end());
        }
    }
    EXPECT_EQ(all, NetReply);
    EXPECT_GE(chunks.size(), 2u);
    EXPECT_GT(chunks.back().atMs, chunks.front().atMs);
}

TEST(DeviceFaultModes, HangupClosesTheLineRemovesTheLinkAndExits)
{
    const std::string link = "/tmp/qv-device-test-link-" + std::to_string(getpid());
    DeviceProcess d;
    ASSERT_TRUE(d.Start({"--hangup-after", "1", "--link", link}));
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(d.clientPath, target);
    d.Send(Beat);
    EXPECT_EQ(d.ReadFrames(1, 900), BeatReply);
    EXPECT_EQ(d.WaitExit(4000), 0);
    EXPECT_GE(d.SinceStartMs(), 1000);
    struct stat st{};
    EXPECT_NE(lstat(link.c_str(), &st), 0);
    d.Send(Beat);
    EXPECT_TRUE(d.ReadFor(200).empty());
}

TEST(DeviceProgram, LinkReplacesAStaleLinkButNeverAFile)
{
    const std::string path = "/tmp/qv-device-test-path-" + std::to_string(getpid());
    {
        FILE* f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("keep", f);
        std::fclose(f);
        DeviceProcess d;
        EXPECT_FALSE(d.Start({"--link", path}));
        EXPECT_NE(d.WaitExit(3000), 0);
        EXPECT_EQ(ReadWholeFile(path), "keep");
        unlink(path.c_str());
    }
    ASSERT_EQ(symlink("/nonexistent", path.c_str()), 0);
    DeviceProcess d;
    ASSERT_TRUE(d.Start({"--link", path}));
    char target[256] = {};
    ASSERT_GT(readlink(path.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(d.clientPath, target);
    EXPECT_EQ(d.Stop(), 0);
    struct stat st{};
    EXPECT_NE(lstat(path.c_str(), &st), 0);
}

}  // namespace
