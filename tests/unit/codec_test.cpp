// The frame layout and CRC-16/MODBUS, against published values, a table-driven
// reference written independently, and every one-bit error.
#include <gtest/gtest.h>

#include <random>

#include "tests/support/frames.h"

namespace {

uint16_t TableCrc(const Bytes& data)
{
    static uint16_t table[256];
    for (unsigned n = 0; n < 256 && table[255] == 0; ++n) {
        uint16_t c = static_cast<uint16_t>(n);
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : static_cast<uint16_t>(c >> 1);
        table[n] = c;
    }
    uint16_t crc = 0xFFFF;
    for (uint8_t b : data)
        crc = static_cast<uint16_t>((crc >> 8) ^ table[(crc ^ b) & 0xFF]);
    return crc;
}

}  // namespace

TEST(Crc16, CheckValueEmptyInputAndAgreementWithATableDrivenCrc)
{
    const Bytes digits = Hex("31 32 33 34 35 36 37 38 39");   // "123456789"
    EXPECT_EQ(Crc16(digits.data(), 9), 0x4B37);
    EXPECT_EQ(Crc16(digits.data(), 0), 0);
    EXPECT_EQ(Crc16(nullptr, 5), 0);
    std::mt19937 rng(20261206);
    for (int round = 0; round < 500; ++round) {
        Bytes data(1 + rng() % 1020);
        for (auto& b : data)
            b = static_cast<uint8_t>(rng());
        ASSERT_EQ(Crc16(data.data(), static_cast<uint32_t>(data.size())), TableCrc(data));
    }
    // A 16-bit index would never reach the end of this.
    const Bytes big(70000, 0x5A);
    EXPECT_EQ(Crc16(big.data(), static_cast<uint32_t>(big.size())), TableCrc(big));
}

TEST(BuildFrame, LayoutByteForByte)
{
    const struct { uint8_t code; Bytes payload; Bytes frame; } cases[] = {
        {0x01, {}, Hex("55 AA 01 00 00 00 D8 01")},
        {0x07, Hex("00 03"), Hex("55 AA 07 00 00 02 00 03 6D E0")},
        {0x05, Hex("55 AA 55 AA"), MakeFrame(0x05, Hex("55 AA 55 AA"))},   // no escaping
    };
    for (const auto& c : cases) {
        uint8_t out[16];
        const uint32_t total = BuildFrame(c.code, c.payload.data(), static_cast<uint16_t>(c.payload.size()), out,
                                          sizeof out);
        EXPECT_EQ(Bytes(out, out + total), c.frame);
        EXPECT_EQ(BuildFrame(c.code, c.payload.data(), static_cast<uint16_t>(c.payload.size()), out, total - 1), 0u);
    }
    // The length is stored high byte first.
    const Bytes long_payload(0x1F3, 0x11);
    const Bytes frame = MakeFrame(0x05, long_payload);
    EXPECT_EQ(frame[4], 0x01);
    EXPECT_EQ(frame[5], 0xF3);
    EXPECT_TRUE(CheckFrame(frame.data(), static_cast<uint32_t>(frame.size())));
}

TEST(CheckFrame, ByteOrderReservedByteAndEveryOneBitError)
{
    EXPECT_TRUE(CheckFrame(Hex("55 AA 01 00 00 00 D8 01").data(), 8));
    EXPECT_FALSE(CheckFrame(Hex("55 AA 01 00 00 00 01 D8").data(), 8));
    // The reserved byte need not be zero, but the checksum covers it.
    Bytes reserved = Hex("55 AA 08 7E 00 01 00 00 00");
    const uint16_t sum = TableCrc(Bytes(reserved.begin() + 2, reserved.end() - 2));
    reserved[7] = static_cast<uint8_t>(sum >> 8);
    reserved[8] = static_cast<uint8_t>(sum & 0xFF);
    EXPECT_TRUE(CheckFrame(reserved.data(), 9));

    Bytes frame = MakeFrame(0x06, Hex("00 6F 6B 00"));
    for (size_t byte = 2; byte < frame.size(); ++byte)
        for (int bit = 0; bit < 8; ++bit) {
            frame[byte] ^= static_cast<uint8_t>(1 << bit);
            EXPECT_FALSE(CheckFrame(frame.data(), 12)) << "byte " << byte << " bit " << bit;
            frame[byte] ^= static_cast<uint8_t>(1 << bit);
        }
}
