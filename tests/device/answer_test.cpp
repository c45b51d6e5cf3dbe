#include <gtest/gtest.h>

#include "tests/device/device_test_util.h"
#include "tools/device/answer.h"

namespace {

struct Exchange {
    DeviceState state = DefaultDeviceState();
    AnswerFaults faults = NoAnswerFaults();
    std::vector<Bytes> replies;

    static void Collect(void* context, const uint8_t* frame, uint32_t total)
    {
        static_cast<Exchange*>(context)->replies.emplace_back(frame, frame + total);
    }

    Unanswered Ask(const Bytes& request, int64_t elapsedMs = 0)
    {
        replies.clear();
        return AnswerRequest(state, faults, elapsedMs, request.data(),
                             static_cast<uint32_t>(request.size()), Collect, this);
    }
};

const Bytes GetNet = Hex("55 AA 01 00 00 00 D8 01");
const Bytes GetPassword = Hex("55 AA 09 00 00 00 B8 03");
const Bytes Beat = Hex("55 AA 07 00 00 02 00 03 6D E0");
const Bytes Ifconfig = Hex("55 AA 05 00 00 09 69 66 63 6F 6E 66 69 67 00 A5 CC");
const Bytes SetDhcpOn = Hex("55 AA 03 00 00 15 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 4B 1D");
const Bytes SetStatic = Hex(
    "55 AA 03 00 00 15 00 C0 A8 01 0A FF FF FF 00 C0 A8 01 01 00 00 00 00 00 00 00 00 D4 1D");

Bytes PasswordRequest(const std::string& text)
{
    Bytes field(16, 0);
    for (size_t i = 0; i < text.size() && i < 16; ++i)
        field[i] = static_cast<uint8_t>(text[i]);
    return Frame(0x0B, field);
}

TEST(DeviceAnswers, EachRequestGetsItsReplyByteForByte)
{
    Exchange x;
    EXPECT_EQ(x.Ask(GetNet), Unanswered::No);
    ASSERT_EQ(x.replies.size(), 1u);
    EXPECT_EQ(x.replies[0], Hex("55 AA 02 00 00 0E 00 00 C0 A8 01 0A FF FF FF 00 C0 A8 01 01 AA 73"));

    x.Ask(Beat);
    ASSERT_EQ(x.replies.size(), 1u);
    EXPECT_EQ(x.replies[0], Hex("55 AA 08 00 00 01 00 51 C4"));

    x.Ask(GetPassword);
    ASSERT_EQ(x.replies.size(), 1u);
    EXPECT_EQ(x.replies[0], TextFrame(0x0A, 0, "admin"));

    x.Ask(SetStatic);
    ASSERT_EQ(x.replies.size(), 1u);
    EXPECT_EQ(x.replies[0], Hex("55 AA 04 00 00 01 00 50 D4"));

    x.Ask(PasswordRequest("x"));
    ASSERT_EQ(x.replies.size(), 1u);
    EXPECT_EQ(x.replies[0], Hex("55 AA 0C 00 00 01 00 91 35"));

    x.Ask(Ifconfig);
    ASSERT_GE(x.replies.size(), 10u);
    for (const Bytes& r : x.replies) {
        EXPECT_EQ(r, TextFrame(0x06, 0, ReplyText(r)));   // status 0, text, 0, good checksum
    }
}

TEST(DeviceAnswers, NewSettingsAreWhatTheNextQueryReturns)
{
    Exchange x;
    // 10.20.30.40 / 255.255.0.0 via 10.20.0.1
    x.Ask(Frame(0x03, Hex("00 0A 14 1E 28 FF FF 00 00 0A 14 00 01 00 00 00 00 00 00 00 00")));
    x.Ask(GetNet);
    ASSERT_EQ(x.replies.size(), 1u);
    EXPECT_EQ(x.replies[0], Frame(0x02, Hex("00 00 0A 14 1E 28 FF FF 00 00 0A 14 00 01")));

    // DHCP on carries no addresses: the flag changes, the addresses stay.
    x.Ask(SetDhcpOn);
    x.Ask(GetNet);
    EXPECT_EQ(x.replies[0], Frame(0x02, Hex("00 01 0A 14 1E 28 FF FF 00 00 0A 14 00 01")));
    EXPECT_TRUE(x.state.dhcp);
}

TEST(DeviceAnswers, PasswordFieldIsStoredAsTheRequestCarriesIt)
{
    Exchange x;
    x.Ask(PasswordRequest("secret"));
    x.Ask(GetPassword);
    EXPECT_EQ(x.replies[0], TextFrame(0x0A, 0, "secret"));

    // Sixteen bytes fill the field with no terminator; all sixteen are kept.
    x.Ask(PasswordRequest("ABCDEFGHIJKLMNOPQRS"));
    x.Ask(GetPassword);
    EXPECT_EQ(x.replies[0], TextFrame(0x0A, 0, "ABCDEFGHIJKLMNOP"));

    // GBK passes through untouched: 密码
    x.Ask(PasswordRequest("\xC3\xDC\xC2\xEB"));
    x.Ask(GetPassword);
    EXPECT_EQ(x.replies[0], TextFrame(0x0A, 0, "\xC3\xDC\xC2\xEB"));
}

TEST(DeviceAnswers, MalformedChangeRequestsAreRefusedAndChangeNothing)
{
    Exchange x;
    x.Ask(Frame(0x03, Hex("00 0A 00 00 01")));
    EXPECT_EQ(x.replies[0], Frame(0x04, {BadRequestStatus}));
    x.Ask(Frame(0x0B, Hex("41 42 43")));
    EXPECT_EQ(x.replies[0], Frame(0x0C, {BadRequestStatus}));
    const DeviceState fresh = DefaultDeviceState();
    EXPECT_EQ(x.state.ipAddress, fresh.ipAddress);
    EXPECT_STREQ(x.state.password, "admin");
}

TEST(DeviceAnswers, UnknownCodesAndRepliesAreNotAnswered)
{
    Exchange x;
    for (uint8_t code : {0x00, 0x02, 0x08, 0x0D, 0x21, 0xFF}) {
        EXPECT_EQ(x.Ask(Frame(code, {})), Unanswered::UnknownCode) << int(code);
        EXPECT_TRUE(x.replies.empty());
    }
}

TEST(DeviceFaults, SilentAnswersNothingButStillTakesNoChanges)
{
    Exchange x;
    x.faults.silent = true;
    for (const Bytes& r : {GetNet, GetPassword, Beat, Ifconfig, SetDhcpOn}) {
        EXPECT_EQ(x.Ask(r), Unanswered::Silent);
        EXPECT_TRUE(x.replies.empty());
    }
    EXPECT_FALSE(x.state.dhcp);
}

TEST(DeviceFaults, OnlyNetConfigAnswersTheNetworkQueryAlone)
{
    Exchange x;
    x.faults.onlyNetConfig = true;
    x.Ask(GetNet);
    EXPECT_EQ(x.replies.size(), 1u);
    for (const Bytes& r : {GetPassword, Beat, Ifconfig, SetStatic}) {
        EXPECT_EQ(x.Ask(r), Unanswered::OnlyNetConfig);
        EXPECT_TRUE(x.replies.empty());
    }
}

TEST(DeviceFaults, HeartbeatsStopAfterTheirTime)
{
    Exchange x;
    x.faults.heartbeatStopMs = 5000;
    x.Ask(Beat, 4999);
    EXPECT_EQ(x.replies.size(), 1u);
    EXPECT_EQ(x.Ask(Beat, 5000), Unanswered::HeartbeatStopped);
    EXPECT_TRUE(x.replies.empty());
    x.Ask(GetPassword, 9000);   // everything else goes on
    EXPECT_EQ(x.replies.size(), 1u);

    x.faults.heartbeatStopMs = 0;   // never answered
    EXPECT_EQ(x.Ask(Beat, 0), Unanswered::HeartbeatStopped);
}

TEST(DeviceFaults, ForcedStatusIsSentAndRefusedChangesAreNotApplied)
{
    Exchange x;
    x.faults.status[0x07] = 3;
    x.Ask(Beat);
    EXPECT_EQ(x.replies[0], Frame(0x08, {3}));
    x.Ask(GetNet);
    EXPECT_EQ(x.replies[0][6], 0);   // other codes untouched

    x.faults.status.fill(1);
    x.Ask(SetDhcpOn);
    EXPECT_EQ(x.replies[0], Frame(0x04, {1}));
    EXPECT_FALSE(x.state.dhcp);
    x.Ask(PasswordRequest("new"));
    EXPECT_EQ(x.replies[0], Frame(0x0C, {1}));
    EXPECT_STREQ(x.state.password, "admin");
    x.Ask(GetPassword);
    EXPECT_EQ(x.replies[0], TextFrame(0x0A, 1, "admin"));
    x.Ask(Ifconfig);
    for (const Bytes& r : x.replies)
        EXPECT_EQ(r[6], 1);
}

}  // namespace
