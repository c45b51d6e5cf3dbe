// Reply frames as the device sends them, and what each reaches: the checksum
// is tested first, then the code, then the status byte, and a reply is never
// read past its end.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "protocol/device_client.h"
#include "tests/support/frames.h"
#include "ui/texts.h"

namespace {

std::vector<std::string> seen;   // what the reply operations were handed, in order

// What one frame reached, as "kind:text" or "net:dhcp/ip/mask/gateway".
std::vector<std::string> Handle(const Bytes& frame)
{
    seen.clear();
    HandleReplyFrame(frame.data(), static_cast<uint32_t>(frame.size()));
    return seen;
}

std::vector<std::string> One(const std::string& kind, const std::string& what) { return {kind + ":" + what}; }

const std::string p99(99, 'q'), p150 = std::string(99, 'r') + std::string(51, 's'), L1015(1015, 'L');
const std::vector<std::string> None;

TEST(Replies, WhatEachReplyReaches)
{
    const struct { const char* what; Bytes frame; std::vector<std::string> seen; } cases[] = {
        {"net dhcp off", Hex("55 AA 02 00 00 0E 00 00 C0 A8 01 0A FF FF FF 00 C0 A8 01 01 AA 73"),
         One("net", "0/C0A8010A/FFFFFF00/C0A80101")},
        // Any non-zero flag is DHCP on, and then the addresses are not read.
        {"net dhcp 2", MakeReply(0x02, 0, std::string("\x02\x0A\x0B\x0C\x0D\x01\x02\x03\x04\x05\x06\x07\x08", 13)),
         One("net", "1/00000000/00000000/00000000")},
        {"net dhcp flag only", MakeReply(0x02, 0, "\x01"), One("net", "1/00000000/00000000/00000000")},
        {"net status only", MakeReply(0x02, 0), None},
        // DHCP off needs all three addresses: 13 payload bytes are one short.
        {"net 13 bytes", MakeReply(0x02, 0, std::string(1, '\0') + std::string(11, '\x01')), None},
        {"net 14 bytes", MakeReply(0x02, 0, std::string(1, '\0') + std::string(12, '\x01')),
         One("net", "0/01010101/01010101/01010101")},
        {"set net ok", Hex("55 AA 04 00 00 01 00 50 D4"), One("notice", texts::NetConfigApplied)},
        {"set password ok", Hex("55 AA 0C 00 00 01 00 91 35"), One("notice", texts::PasswordChanged)},
        {"heartbeat", Hex("55 AA 08 00 00 01 00 51 C4"), One("heartbeat", "")},
        {"heartbeat refused", Hex("55 AA 08 00 00 01 01 91 05"), None},
        {"heartbeat junk after", MakeReply(0x08, 0, "junk"), One("heartbeat", "")},
        // Texts end at their 0, or with the payload; GBK is handed on as is.
        {"line", MakeReply(0x06, 0, std::string("eth0 up\0tail", 12)), One("line", "eth0 up")},
        {"line gbk", TextReply(0x06, 0, "\xC4\xE3\xBA\xC3"), One("line", "\xC4\xE3\xBA\xC3")},
        {"line empty", MakeReply(0x06, 0), One("line", "")},
        {"line no zero", MakeReply(0x06, 0, "no zero here"), One("line", "no zero here")},
        {"line 1015", MakeReply(0x06, 0, L1015), One("line", L1015)},
        {"password 99", TextReply(0x0A, 0, p99), One("password", p99)},
        {"password 150", TextReply(0x0A, 0, p150), One("password", p150.substr(0, 99))},
        {"password no zero", MakeReply(0x0A, 0, "admin"), One("password", "admin")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Handle(c.frame), c.seen) << c.what;
}

TEST(Replies, RefusedUnknownEmptyOrDamagedFramesReachNothing)
{
    for (uint8_t code : {0x02, 0x04, 0x06, 0x08, 0x0A, 0x0C}) {
        for (int status : {0x01, 0x80, 0xFF})
            EXPECT_EQ(Handle(MakeReply(code, static_cast<uint8_t>(status), std::string("\x01" "abcdefghijklmn", 15))),
                      None) << int(code) << " status " << status;
        EXPECT_EQ(Handle(MakeFrame(code, {})), None) << "no status byte, code " << int(code);
    }
    for (int code = 0; code < 256; ++code) {
        if (code > 0x0C || code % 2 == 1 || code == 0) {
            EXPECT_EQ(Handle(MakeReply(static_cast<uint8_t>(code), 0, std::string("\x00" "abc", 4))), None) << code;
        }
    }
    const Bytes heartbeat = Hex("55 AA 08 00 00 01 00 51 C4");
    seen.clear();
    HandleReplyFrame(nullptr, 9);
    HandleReplyFrame(heartbeat.data(), 7);
    EXPECT_EQ(seen, None);

    // Any bit flipped after the start bytes is caught by the checksum.
    for (const Bytes& good : {heartbeat, MakeReply(0x06, 0, "ok"), MakeReply(0x0A, 0, "secret")}) {
        ASSERT_EQ(Handle(good).size(), 1u);
        for (size_t byte = 2; byte < good.size(); ++byte)
            for (int bit = 0; bit < 8; ++bit) {
                Bytes broken = good;
                broken[byte] ^= static_cast<uint8_t>(1u << bit);
                EXPECT_EQ(Handle(broken), None) << "byte " << byte << " bit " << bit;
            }
    }
}

}  // namespace

// The reply operations HandleReplyFrame reaches, bound here as recording fakes.
void ShowNetConfig(const NetConfig& c)
{
    char text[64];
    std::snprintf(text, sizeof text, "net:%d/%08X/%08X/%08X", c.dhcp, c.ipAddress, c.subnetMask, c.gateway);
    seen.push_back(text);
}
void AppendOutputLine(const char* text) { seen.push_back(std::string("line:") + text); }
void ShowAdminPassword(const char* text) { seen.push_back(std::string("password:") + text); }
void ShowNotice(const char* text) { seen.push_back(std::string("notice:") + text); }
void OnHeartbeatReply() { seen.push_back("heartbeat:"); }
