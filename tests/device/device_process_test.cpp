// The device program over its pseudo-terminal: the conversation, the frame
// log and trace, bad input, and each fault mode as a client sees it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "tests/device/device_process.h"

namespace {

const Bytes GetNet = Hex("55 AA 01 00 00 00 D8 01");
const Bytes GetPassword = Hex("55 AA 09 00 00 00 B8 03");
const Bytes Beat = Hex("55 AA 07 00 00 02 00 03 6D E0");
const Bytes NetReply = Hex("55 AA 02 00 00 0E 00 00 C0 A8 01 0A FF FF FF 00 C0 A8 01 01 AA 73");
const Bytes BeatReply = Hex("55 AA 08 00 00 01 00 51 C4");

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(DeviceProgram, ConversationLogAndTraceAndBadInput)
{
    DeviceProcess d;
    ASSERT_TRUE(d.Start({}));
    d.Send(Hex("00 13 37 FE"));
    d.Send(Hex("55 AA 01 00 00 00 D8 02"));   // bad checksum
    d.Send(MakeFrame(0x21, Hex("01 02")));     // unknown code
    d.Send(Hex("55 AA 05 00 10 00"));          // declares 4096 payload bytes
    EXPECT_TRUE(d.ReadFor(200).empty());
    d.Send(GetNet);
    EXPECT_EQ(d.ReadFrames(1, 2000), NetReply);
    d.Send(MakeFrame(0x0B, Hex("6E 75 00 00 00 00 00 00 00 00 00 00 00 00 00 00")));   // "nu"
    EXPECT_EQ(d.ReadFrames(1, 2000), Hex("55 AA 0C 00 00 01 00 91 35"));
    d.Send(GetPassword);
    EXPECT_EQ(d.ReadFrames(1, 2000), TextReply(0x0A, 0, "nu"));
    d.Send(Hex("55 AA 05 00 00 09 69 66 63 6F 6E 66 69 67 00 A5 CC"));
    const auto lines = SplitFrames(d.ReadFrames(15, 3000));
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_TRUE(Contains(ReplyText(lines[1]), "inet addr:192.168.1.10"));
    EXPECT_EQ(d.Stop(), 0);

    const std::string log = ReadWholeFile(d.framesLog);
    EXPECT_TRUE(Contains(log, " RX 55 AA 01 00 00 00 D8 01\n"));
    EXPECT_TRUE(Contains(log, " TX 55 AA 0C 00 00 01 00 91 35\n"));
    EXPECT_TRUE(Contains(log, " RX? 00 13 37 FE\n"));
    const std::string trace = ReadWholeFile(d.traceFile);
    for (const char* line : {"RX   05 RunShellCommand         \"ifconfig\"", "TX   0A GetAdminPassword reply  ok  \"nu\"",
                             "not a frame: 00 13 37 FE", "bad checksum on code 01", "21 (unknown code)",
                             "over-long frame declares 4096 payload bytes"})
        EXPECT_TRUE(Contains(trace, line)) << line;
}

// Which replies are answered is the answering code's (device_unit_test);
// these modes act on the line itself.
TEST(DeviceProgram, FragmentedReplies)
{
    // Pieces of a reply arrive apart.
    DeviceProcess pieces;
    ASSERT_TRUE(pieces.Start({"--fragment"}));
    pieces.Send(GetNet);
    std::vector<Chunk> got;
    Bytes all;
    for (int i = 0; i < 100 && all.size() < NetReply.size(); ++i)
        for (const Chunk& c : pieces.ReadChunks(20)) {
            got.push_back(c);
            all.insert(all.end(), c.bytes.begin(), c.bytes.end());
        }
    EXPECT_EQ(all, NetReply);
    ASSERT_GE(got.size(), 2u);
    EXPECT_GT(got.back().atMs, got.front().atMs);
}

TEST(DeviceProgram, DamagingFaultModes)
{
    // Every second reply has one checksum bit flipped, and the log says so.
    DeviceProcess d;
    ASSERT_TRUE(d.Start({"--corrupt-every", "2"}));
    for (int i = 0; i < 4; ++i)
        d.Send(Beat);
    const auto replies = SplitFrames(d.ReadFrames(4, 2000));
    ASSERT_EQ(replies.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(Bytes(replies[i].begin(), replies[i].end() - 2), Bytes(BeatReply.begin(), BeatReply.end() - 2));
        const unsigned diff = ((replies[i][7] ^ BeatReply[7]) << 8) | (replies[i][8] ^ BeatReply[8]);
        EXPECT_EQ(diff != 0 && (diff & (diff - 1)) == 0, i % 2 == 1) << i;
        EXPECT_EQ(diff == 0, i % 2 == 0) << i;
    }
    EXPECT_EQ(d.Stop(), 0);
    const std::string log = ReadWholeFile(d.framesLog);
    size_t corrupted = 0;
    for (size_t at = log.find(" TXC "); at != std::string::npos; at = log.find(" TXC ", at + 1))
        ++corrupted;
    EXPECT_EQ(corrupted, 2u);

    // Noise between intact replies never holds a start byte.
    DeviceProcess noisy;
    ASSERT_TRUE(noisy.Start({"--noise"}));
    Bytes all;
    for (int i = 0; i < 3; ++i) {
        noisy.Send(Beat);
        const Bytes got = noisy.ReadFrames(1, 2000);
        all.insert(all.end(), got.begin(), got.end());
    }
    EXPECT_EQ(SplitFrames(all), (std::vector<Bytes>{BeatReply, BeatReply, BeatReply}));
    EXPECT_GT(all.size(), 3 * BeatReply.size());
    EXPECT_EQ(std::count(all.begin(), all.end(), 0x55), 3);
}

TEST(DeviceProgram, LinkAndHangup)
{
    const std::string path = "/tmp/qv-device-test-link-" + std::to_string(getpid());
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("keep", f);
    std::fclose(f);
    {
        DeviceProcess refused;   // never replaces a file
        EXPECT_FALSE(refused.Start({"--link", path}));
        EXPECT_NE(refused.WaitExit(3000), 0);
        EXPECT_EQ(ReadWholeFile(path), "keep");
    }
    unlink(path.c_str());
    ASSERT_EQ(symlink("/nonexistent", path.c_str()), 0);   // but does replace a stale link
    DeviceProcess d;
    ASSERT_TRUE(d.Start({"--hangup-after", "1", "--link", path}));
    char target[256] = {};
    ASSERT_GT(readlink(path.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(d.clientPath, target);
    d.Send(Beat);
    EXPECT_EQ(d.ReadFrames(1, 900), BeatReply);
    EXPECT_EQ(d.WaitExit(4000), 0);
    EXPECT_GE(d.SinceStartMs(), 1000);
    struct stat st{};
    EXPECT_NE(lstat(path.c_str(), &st), 0) << "the link is removed on exit";
}

}  // namespace
