// Reply frames as the device sends them, and what each hands the front end:
// the checksum is tested first, then the code, then the status byte; refusals
// are handed on with their status; a reply is never read past its end.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "session/device_client.h"
#include "tests/support/frames.h"

namespace {

std::vector<std::string> seen;   // what the front end was handed, in order
SerialPort port;   // never opened
DeviceClient client{&port, ReplyHandler{}, FrameTap{}};

// "02 net:0/C0A8010A/FFFFFF00/C0A80101", "06 line:eth0 up", "04 ok",
// "08 refused 1".
void Record(void*, const Reply& r)
{
    char text[64];
    std::snprintf(text, sizeof text, "%02X ", r.code);
    std::string line = text;
    if (r.status != 0) {
        line += "refused " + std::to_string(r.status);
    } else if (r.code == 0x02) {
        std::snprintf(text, sizeof text, "net:%d/%08X/%08X/%08X", r.config.dhcp, r.config.ipAddress,
                      r.config.subnetMask, r.config.gateway);
        line += text;
    } else if (r.code == 0x06 || r.code == 0x0A) {
        line += (r.code == 0x06 ? "line:" : "password:") + std::string(r.text);
    } else {
        line += "ok";
    }
    seen.push_back(line);
}

std::vector<std::string> Handle(const Bytes& frame)
{
    client.replies = ReplyHandler{nullptr, Record};
    seen.clear();
    HandleReplyFrame(client, frame.data(), static_cast<uint32_t>(frame.size()));
    return seen;
}

std::vector<std::string> One(const std::string& line) { return {line}; }

const std::string p99(99, 'q'), p150 = std::string(99, 'r') + std::string(51, 's'), L1015(1015, 'L');
const std::vector<std::string> None;

TEST(Replies, WhatEachReplyReaches)
{
    const struct { const char* what; Bytes frame; std::vector<std::string> seen; } cases[] = {
        {"net dhcp off", Hex("55 AA 02 00 00 0E 00 00 C0 A8 01 0A FF FF FF 00 C0 A8 01 01 AA 73"),
         One("02 net:0/C0A8010A/FFFFFF00/C0A80101")},
        // Any non-zero flag is DHCP on, and then the addresses are not read.
        {"net dhcp 2", MakeReply(0x02, 0, std::string("\x02\x0A\x0B\x0C\x0D\x01\x02\x03\x04\x05\x06\x07\x08", 13)),
         One("02 net:1/00000000/00000000/00000000")},
        {"net dhcp flag only", MakeReply(0x02, 0, "\x01"), One("02 net:1/00000000/00000000/00000000")},
        {"net status only", MakeReply(0x02, 0), None},
        // DHCP off needs all three addresses: 13 payload bytes are one short.
        {"net 13 bytes", MakeReply(0x02, 0, std::string(1, '\0') + std::string(11, '\x01')), None},
        {"net 14 bytes", MakeReply(0x02, 0, std::string(1, '\0') + std::string(12, '\x01')),
         One("02 net:0/01010101/01010101/01010101")},
        {"set net ok", Hex("55 AA 04 00 00 01 00 50 D4"), One("04 ok")},
        {"set password ok", Hex("55 AA 0C 00 00 01 00 91 35"), One("0C ok")},
        {"heartbeat", Hex("55 AA 08 00 00 01 00 51 C4"), One("08 ok")},
        {"heartbeat refused", Hex("55 AA 08 00 00 01 01 91 05"), One("08 refused 1")},
        {"heartbeat junk after", MakeReply(0x08, 0, "junk"), One("08 ok")},
        // Texts end at their 0, or with the payload; GBK is handed on as is.
        {"line", MakeReply(0x06, 0, std::string("eth0 up\0tail", 12)), One("06 line:eth0 up")},
        {"line gbk", TextReply(0x06, 0, "\xC4\xE3\xBA\xC3"), One("06 line:\xC4\xE3\xBA\xC3")},
        {"line empty", MakeReply(0x06, 0), One("06 line:")},
        {"line no zero", MakeReply(0x06, 0, "no zero here"), One("06 line:no zero here")},
        {"line 1015", MakeReply(0x06, 0, L1015), One("06 line:" + L1015)},
        {"password 99", TextReply(0x0A, 0, p99), One("0A password:" + p99)},
        {"password 150", TextReply(0x0A, 0, p150), One("0A password:" + p150.substr(0, 99))},
        {"password no zero", MakeReply(0x0A, 0, "admin"), One("0A password:admin")},
        // A refused request comes back with its status and nothing else.
        {"set net refused", MakeReply(0x04, 5), One("04 refused 5")},
        {"net refused", MakeReply(0x02, 0x80, std::string(13, '\x01')), One("02 refused 128")},
        {"line refused", TextReply(0x06, 0xFF, "not run"), One("06 refused 255")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Handle(c.frame), c.seen) << c.what;
}

TEST(Replies, UnknownEmptyOrDamagedFramesReachNothing)
{
    for (uint8_t code : {0x02, 0x04, 0x06, 0x08, 0x0A, 0x0C})
        EXPECT_EQ(Handle(MakeFrame(code, {})), None) << "no status byte, code " << int(code);
    for (int code = 0; code < 256; ++code) {
        if (code > 0x0C || code % 2 == 1 || code == 0) {
            EXPECT_EQ(Handle(MakeReply(static_cast<uint8_t>(code), 0, std::string("\x00" "abc", 4))), None) << code;
        }
    }
    const Bytes heartbeat = Hex("55 AA 08 00 00 01 00 51 C4");
    seen.clear();
    HandleReplyFrame(client, nullptr, 9);
    HandleReplyFrame(client, heartbeat.data(), 7);
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

