// The six requests, byte for byte as the device expects them, each written
// in exactly one WritePort call.
#include <gtest/gtest.h>

#include <string>

#include "protocol/device_client.h"
#include "tests/support/frames.h"
#include "tests/support/write_recorder.h"

namespace {

// The one frame the last sender wrote; fails the test if it wrote more or less.
std::vector<uint8_t> OnlyWrite()
{
    auto writes = TakeWrites();
    EXPECT_EQ(writes.size(), 1u) << "a request must go out in one WritePort call";
    return writes.empty() ? std::vector<uint8_t>() : writes.front();
}

std::vector<uint8_t> Repeat(int value, size_t count)
{
    return std::vector<uint8_t>(count, static_cast<uint8_t>(value));
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

class Requests : public ::testing::Test {
protected:
    void SetUp() override { TakeWrites(); }
};

TEST_F(Requests, FixedRequestsAreExactFrames)
{
    SendGetNetConfig();
    EXPECT_EQ(OnlyWrite(), Bytes({0x55, 0xAA, 0x01, 0x00, 0x00, 0x00, 0xD8, 0x01}));
    SendGetAdminPassword();
    EXPECT_EQ(OnlyWrite(), Bytes({0x55, 0xAA, 0x09, 0x00, 0x00, 0x00, 0xB8, 0x03}));
    SendHeartbeat();
    EXPECT_EQ(OnlyWrite(), Bytes({0x55, 0xAA, 0x07, 0x00, 0x00, 0x02, 0x00, 0x03, 0x6D, 0xE0}));
}

TEST_F(Requests, ShellCommandsCarryTheirTerminator)
{
    SendShellCommand("ifconfig");
    EXPECT_EQ(OnlyWrite(), Bytes({0x55, 0xAA, 0x05, 0x00, 0x00, 0x09, 0x69, 0x66, 0x63, 0x6F,
                                  0x6E, 0x66, 0x69, 0x67, 0x00, 0xA5, 0xCC}));
    SendShellCommand("route");
    EXPECT_EQ(OnlyWrite(), Bytes({0x55, 0xAA, 0x05, 0x00, 0x00, 0x06, 0x72, 0x6F, 0x75, 0x74,
                                  0x65, 0x00, 0x8A, 0xA9}));
}

TEST_F(Requests, LongShellCommandsUpToTheBufferAndNoFurther)
{
    // The longest command the dialog passes: 1000 typed bytes and " -c 4".
    std::string command(1005, 'p');
    SendShellCommand(command.c_str());
    auto frame = OnlyWrite();
    ASSERT_EQ(frame.size(), 1014u);
    EXPECT_EQ(frame[4], 0x03);
    EXPECT_EQ(frame[5], 0xEE);
    EXPECT_EQ(std::string(frame.begin() + 6, frame.begin() + 6 + 1005), command);
    EXPECT_EQ(frame[6 + 1005], 0x00);
    EXPECT_TRUE(CheckFrame(frame.data(), 1014));

    // 1015 bytes fill the 1024-byte frame buffer exactly.
    std::string longest(1015, 'x');
    SendShellCommand(longest.c_str());
    frame = OnlyWrite();
    ASSERT_EQ(frame.size(), 1024u);
    EXPECT_EQ(frame[4], 0x03);
    EXPECT_EQ(frame[5], 0xF8);
    EXPECT_EQ(frame[1021], 0x00);
    EXPECT_TRUE(CheckFrame(frame.data(), 1024));

    // One byte more would overrun it: nothing is sent at all.
    std::string tooLong(1016, 'x');
    SendShellCommand(tooLong.c_str());
    EXPECT_TRUE(TakeWrites().empty());
    std::string farTooLong(5000, 'x');
    SendShellCommand(farTooLong.c_str());
    EXPECT_TRUE(TakeWrites().empty());
}

TEST_F(Requests, ShellTextIsSentAsItsNarrowBytes)
{
    // GBK text typed by the technician travels unchanged.
    const char gbk[] = "echo \xC4\xE3\xBA\xC3";
    SendShellCommand(gbk);
    auto frame = OnlyWrite();
    ASSERT_EQ(frame.size(), sizeof(gbk) + 8);
    EXPECT_EQ(std::string(frame.begin() + 6, frame.begin() + 6 + sizeof(gbk) - 1), gbk);
    EXPECT_TRUE(CheckFrame(frame.data(), static_cast<uint32_t>(frame.size())));
}

TEST_F(Requests, NetConfigWithDhcpOnIgnoresTheAddresses)
{
    SendSetNetConfig(true, 0xC0A8010A, 0xFFFFFF00, 0xC0A80101);
    auto expected = Join({Bytes({0x55, 0xAA, 0x03, 0x00, 0x00, 0x15, 0x01}), Repeat(0, 20),
                          Bytes({0x4B, 0x1D})});
    EXPECT_EQ(OnlyWrite(), expected);
    SendSetNetConfig(true, 0, 0, 0);
    EXPECT_EQ(OnlyWrite(), expected);
}

TEST_F(Requests, NetConfigWithDhcpOffCarriesAddressesInDottedOrder)
{
    SendSetNetConfig(false, 0xC0A8010A, 0xFFFFFF00, 0xC0A80101);
    auto expected = Join({Bytes({0x55, 0xAA, 0x03, 0x00, 0x00, 0x15, 0x00, 0xC0, 0xA8, 0x01,
                                 0x0A, 0xFF, 0xFF, 0xFF, 0x00, 0xC0, 0xA8, 0x01, 0x01}),
                          Repeat(0, 8), Bytes({0xD4, 0x1D})});
    EXPECT_EQ(OnlyWrite(), expected);
}

TEST_F(Requests, PasswordFieldIsSixteenBytesWhateverTheLength)
{
    SendSetAdminPassword("a");
    auto frame = OnlyWrite();
    ASSERT_EQ(frame.size(), 24u);
    EXPECT_EQ(std::vector<uint8_t>(frame.begin(), frame.begin() + 6),
              Bytes({0x55, 0xAA, 0x0B, 0x00, 0x00, 0x10}));
    EXPECT_EQ(std::vector<uint8_t>(frame.begin() + 6, frame.begin() + 22),
              Join({Bytes({'a'}), Repeat(0, 15)}));
    EXPECT_TRUE(CheckFrame(frame.data(), 24));

    const std::string sixteen = "0123456789abcdef";
    SendSetAdminPassword(sixteen.c_str());
    frame = OnlyWrite();
    ASSERT_EQ(frame.size(), 24u);
    EXPECT_EQ(std::string(frame.begin() + 6, frame.begin() + 22), sixteen);
    EXPECT_TRUE(CheckFrame(frame.data(), 24));

    // Bytes past the sixteenth are not sent; the frame is the same as above.
    SendSetAdminPassword("0123456789abcdefGHIJ");
    auto longer = OnlyWrite();
    EXPECT_EQ(longer, frame);
}

TEST_F(Requests, NullTextsSendNothing)
{
    SendShellCommand(nullptr);
    SendSetAdminPassword(nullptr);
    EXPECT_TRUE(TakeWrites().empty());
}

}  // namespace
