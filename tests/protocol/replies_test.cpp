// Reply frames as the device sends them, and what each one reaches: the
// checksum is tested first, then the code, then the status byte, and a reply
// is never read past its end.
#include <gtest/gtest.h>

#include <string>

#include "protocol/device_client.h"
#include "tests/support/frames.h"
#include "tests/support/reply_recorder.h"
#include "ui/texts.h"

namespace {

std::vector<ReplyEvent> Handle(const std::vector<uint8_t>& frame)
{
    TakeReplyEvents();
    HandleReplyFrame(frame.data(), static_cast<uint32_t>(frame.size()));
    return TakeReplyEvents();
}

// A reply that must reach exactly one operation of `kind`.
ReplyEvent HandleOne(const std::vector<uint8_t>& frame, ReplyKind kind)
{
    auto events = Handle(frame);
    EXPECT_EQ(events.size(), 1u);
    if (events.size() != 1)
        return ReplyEvent{kind, NetConfig{}, std::string()};
    EXPECT_EQ(events[0].kind, kind);
    return events[0];
}

const uint8_t ReplyCodes[] = {0x02, 0x04, 0x06, 0x08, 0x0A, 0x0C};

TEST(NetConfigReply, DhcpOffReachesShowNetConfigWithAddresses)
{
    auto frame = Bytes({0x55, 0xAA, 0x02, 0x00, 0x00, 0x0E, 0x00, 0x00, 0xC0, 0xA8, 0x01,
                        0x0A, 0xFF, 0xFF, 0xFF, 0x00, 0xC0, 0xA8, 0x01, 0x01, 0xAA, 0x73});
    auto event = HandleOne(frame, ReplyKind::NetConfigShown);
    EXPECT_FALSE(event.config.dhcp);
    EXPECT_EQ(event.config.ipAddress, 0xC0A8010Au);
    EXPECT_EQ(event.config.subnetMask, 0xFFFFFF00u);
    EXPECT_EQ(event.config.gateway, 0xC0A80101u);
}

TEST(NetConfigReply, AnyNonZeroFlagMeansDhcpAndAddressesAreNotRead)
{
    auto frame = MakeReply(0x02, 0x00, std::string("\x02" "\x0A\x0B\x0C\x0D" "\x01\x02\x03\x04"
                                                   "\x05\x06\x07\x08", 13));
    auto event = HandleOne(frame, ReplyKind::NetConfigShown);
    EXPECT_TRUE(event.config.dhcp);
    EXPECT_EQ(event.config.ipAddress, 0u);
    EXPECT_EQ(event.config.subnetMask, 0u);
    EXPECT_EQ(event.config.gateway, 0u);
}

TEST(NetConfigReply, ShortRepliesAreReadOnlyAsFarAsTheyGo)
{
    // DHCP on needs the status and the flag only.
    auto event = HandleOne(MakeReply(0x02, 0x00, "\x01"), ReplyKind::NetConfigShown);
    EXPECT_TRUE(event.config.dhcp);
    // Status alone: no flag to read.
    EXPECT_TRUE(Handle(MakeReply(0x02, 0x00)).empty());
    // DHCP off needs all three addresses: 13 payload bytes are one short.
    std::string twelve(12, '\x01');
    EXPECT_TRUE(Handle(MakeReply(0x02, 0x00, std::string(1, '\0') + twelve.substr(0, 11))).empty());
    event = HandleOne(MakeReply(0x02, 0x00, std::string(1, '\0') + twelve), ReplyKind::NetConfigShown);
    EXPECT_FALSE(event.config.dhcp);
    EXPECT_EQ(event.config.gateway, 0x01010101u);
}

TEST(StatusReplies, HeartbeatCountsOnlyWithStatusZero)
{
    HandleOne(Bytes({0x55, 0xAA, 0x08, 0x00, 0x00, 0x01, 0x00, 0x51, 0xC4}), ReplyKind::HeartbeatReply);
    EXPECT_TRUE(Handle(Bytes({0x55, 0xAA, 0x08, 0x00, 0x00, 0x01, 0x01, 0x91, 0x05})).empty());
    // Bytes after the status are ignored.
    HandleOne(MakeReply(0x08, 0x00, "junk"), ReplyKind::HeartbeatReply);
}

TEST(StatusReplies, NoticesCarryTheirGbkTexts)
{
    auto event = HandleOne(Bytes({0x55, 0xAA, 0x04, 0x00, 0x00, 0x01, 0x00, 0x50, 0xD4}),
                           ReplyKind::Notice);
    EXPECT_EQ(event.text, texts::NetConfigApplied);
    event = HandleOne(Bytes({0x55, 0xAA, 0x0C, 0x00, 0x00, 0x01, 0x00, 0x91, 0x35}),
                      ReplyKind::Notice);
    EXPECT_EQ(event.text, texts::PasswordChanged);
    EXPECT_TRUE(Handle(MakeReply(0x04, 0x01)).empty());
    EXPECT_TRUE(Handle(MakeReply(0x0C, 0x01)).empty());
}

TEST(StatusReplies, NonZeroStatusShowsNothingForAnyCode)
{
    for (uint8_t code : ReplyCodes)
        for (int status : {0x01, 0x7F, 0x80, 0xFF})
            EXPECT_TRUE(Handle(MakeReply(code, static_cast<uint8_t>(status),
                                         std::string("\x01" "abcdefghijklmn", 15))).empty())
                << "code " << int(code) << " status " << status;
}

TEST(StatusReplies, ReplyWithoutPayloadHasNoStatusAndIsIgnored)
{
    for (uint8_t code : ReplyCodes)
        EXPECT_TRUE(Handle(MakeFrame(code, {})).empty()) << "code " << int(code);
}

TEST(Acceptance, CodesOutsideTheSixAreIgnored)
{
    for (int code = 0; code < 256; ++code) {
        bool known = false;
        for (uint8_t c : ReplyCodes)
            known = known || c == code;
        if (known)
            continue;
        auto frame = MakeReply(static_cast<uint8_t>(code), 0x00, std::string("\x00" "abc", 4));
        EXPECT_TRUE(Handle(frame).empty()) << "code " << code;
    }
}

TEST(Acceptance, OneBitChecksumErrorIsIgnored)
{
    const std::vector<uint8_t> good[] = {
        Bytes({0x55, 0xAA, 0x08, 0x00, 0x00, 0x01, 0x00, 0x51, 0xC4}),
        Bytes({0x55, 0xAA, 0x04, 0x00, 0x00, 0x01, 0x00, 0x50, 0xD4}),
        MakeReply(0x06, 0x00, "ok"),
        MakeReply(0x0A, 0x00, "secret"),
        MakeReply(0x02, 0x00, "\x01"),
    };
    for (const auto& frame : good) {
        ASSERT_EQ(Handle(frame).size(), 1u);
        // Any single bit flipped after the start bytes (which the checksum does
        // not cover and the receiver has already tested) must be caught.
        for (size_t byte = 2; byte < frame.size(); ++byte) {
            for (int bit = 0; bit < 8; ++bit) {
                auto broken = frame;
                broken[byte] ^= static_cast<uint8_t>(1u << bit);
                EXPECT_TRUE(Handle(broken).empty()) << "byte " << byte << " bit " << bit;
            }
        }
    }
}

TEST(Acceptance, ReservedByteIsNotLookedAt)
{
    auto frame = MakeReply(0x08, 0x00);
    frame[3] = 0x5A;
    const uint16_t sum = Crc16(frame.data() + 2, static_cast<uint32_t>(frame.size() - 4));
    frame[frame.size() - 2] = static_cast<uint8_t>(sum >> 8);
    frame[frame.size() - 1] = static_cast<uint8_t>(sum & 0xFF);
    HandleOne(frame, ReplyKind::HeartbeatReply);
}

TEST(Acceptance, NullOrImpossibleLengthsAreIgnored)
{
    auto frame = MakeReply(0x08, 0x00);
    HandleReplyFrame(nullptr, 9);
    HandleReplyFrame(frame.data(), 7);
    EXPECT_EQ(ReplyEventCount(), 0u);
}

TEST(TextReplies, OutputLineEndsAtItsTerminator)
{
    auto event = HandleOne(MakeReply(0x06, 0x00, std::string("eth0 up\0tail", 12)),
                           ReplyKind::OutputLine);
    EXPECT_EQ(event.text, "eth0 up");
    // GBK bytes are handed on unchanged.
    event = HandleOne(MakeReply(0x06, 0x00, std::string("\xC4\xE3\xBA\xC3\0", 5)), ReplyKind::OutputLine);
    EXPECT_EQ(event.text, "\xC4\xE3\xBA\xC3");
    // An empty text is still a line.
    event = HandleOne(MakeReply(0x06, 0x00, std::string(1, '\0')), ReplyKind::OutputLine);
    EXPECT_EQ(event.text, "");
    event = HandleOne(MakeReply(0x06, 0x00), ReplyKind::OutputLine);
    EXPECT_EQ(event.text, "");
}

TEST(TextReplies, OutputWithoutTerminatorEndsWithThePayload)
{
    // The checksum bytes that follow are not part of the text.
    auto event = HandleOne(MakeReply(0x06, 0x00, "no zero here"), ReplyKind::OutputLine);
    EXPECT_EQ(event.text, "no zero here");
    // The largest reply the receiver can hold: 1015 text bytes, no zero.
    std::string longest(1015, 'L');
    auto frame = MakeReply(0x06, 0x00, longest);
    ASSERT_EQ(frame.size(), 1024u);
    event = HandleOne(frame, ReplyKind::OutputLine);
    EXPECT_EQ(event.text, longest);
}

TEST(TextReplies, PasswordUpTo99BytesWholeLongerCut)
{
    std::string p99(99, 'q');
    auto event = HandleOne(MakeReply(0x0A, 0x00, p99 + std::string(1, '\0')), ReplyKind::AdminPassword);
    EXPECT_EQ(event.text, p99);
    std::string p150;
    for (int i = 0; i < 150; ++i)
        p150 += static_cast<char>('a' + i % 26);
    event = HandleOne(MakeReply(0x0A, 0x00, p150 + std::string(1, '\0')), ReplyKind::AdminPassword);
    EXPECT_EQ(event.text, p150.substr(0, 99));
    // Without a terminator the payload's end ends the text.
    event = HandleOne(MakeReply(0x0A, 0x00, "admin"), ReplyKind::AdminPassword);
    EXPECT_EQ(event.text, "admin");
}

}  // namespace
