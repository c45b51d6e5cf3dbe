#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "link/frame_codec.h"
#include "tests/support/reference_crc.h"

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values)
{
    std::vector<uint8_t> v;
    for (int b : values)
        v.push_back(static_cast<uint8_t>(b));
    return v;
}

}  // namespace

TEST(Crc16, PublishedCheckValueAndEmptyInput)
{
    const char* digits = "123456789";
    EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>(digits), 9), 0x4B37);
    const uint8_t one = 0x01;
    EXPECT_EQ(Crc16(&one, 0), 0);
    EXPECT_EQ(Crc16(nullptr, 5), 0);
}

TEST(Crc16, AgreesWithTableDrivenCrcOverRandomInputs)
{
    std::mt19937 rng(20261206);
    std::vector<uint8_t> data(1020);
    for (int round = 0; round < 2000; ++round) {
        const size_t length = 1 + rng() % data.size();
        for (size_t i = 0; i < length; ++i)
            data[i] = static_cast<uint8_t>(rng());
        ASSERT_EQ(Crc16(data.data(), static_cast<uint32_t>(length)), ReferenceCrc(data.data(), length))
            << "length " << length;
    }
}

TEST(Crc16, LongerThanSixteenBitsStillEnds)
{
    std::vector<uint8_t> data(70000, 0x5A);
    EXPECT_EQ(Crc16(data.data(), static_cast<uint32_t>(data.size())), ReferenceCrc(data.data(), data.size()));
}

TEST(BuildFrame, KnownRequestsByteForByte)
{
    uint8_t out[32];
    ASSERT_EQ(BuildFrame(0x01, nullptr, 0, out, sizeof out), 8u);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 8), Bytes({0x55, 0xAA, 0x01, 0x00, 0x00, 0x00, 0xD8, 0x01}));

    const uint8_t heartbeat[] = {0x00, 0x03};
    ASSERT_EQ(BuildFrame(0x07, heartbeat, 2, out, sizeof out), 10u);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 10),
              Bytes({0x55, 0xAA, 0x07, 0x00, 0x00, 0x02, 0x00, 0x03, 0x6D, 0xE0}));
}

TEST(BuildFrame, RefusesTooSmallBufferAndTreats55AAInPayloadAsData)
{
    uint8_t out[16];
    const uint8_t payload[] = {0x55, 0xAA, 0x55, 0xAA};
    EXPECT_EQ(BuildFrame(0x05, payload, 4, out, 11), 0u);
    ASSERT_EQ(BuildFrame(0x05, payload, 4, out, sizeof out), 12u);
    EXPECT_EQ(out[4], 0x00);
    EXPECT_EQ(out[5], 0x04);
    EXPECT_EQ(std::memcmp(out + 6, payload, 4), 0);
    EXPECT_TRUE(CheckFrame(out, 12));
}

TEST(CheckFrame, ChecksumByteOrderAndUnsignedBytes)
{
    // D8 is above 0x7F: a signed byte would make the stored sum negative.
    const auto good = Bytes({0x55, 0xAA, 0x01, 0x00, 0x00, 0x00, 0xD8, 0x01});
    EXPECT_TRUE(CheckFrame(good.data(), 8));
    const auto swapped = Bytes({0x55, 0xAA, 0x01, 0x00, 0x00, 0x00, 0x01, 0xD8});
    EXPECT_FALSE(CheckFrame(swapped.data(), 8));
}

TEST(CheckFrame, ReservedByteIsCoveredButNotRequiredToBeZero)
{
    uint8_t frame[9] = {0x55, 0xAA, 0x08, 0x7E, 0x00, 0x01, 0x00, 0, 0};
    const uint16_t sum = Crc16(frame + 2, 5);
    frame[7] = static_cast<uint8_t>(sum >> 8);
    frame[8] = static_cast<uint8_t>(sum & 0xFF);
    EXPECT_TRUE(CheckFrame(frame, 9));
    frame[3] = 0x00;  // the checksum covers the reserved byte
    EXPECT_FALSE(CheckFrame(frame, 9));
}

TEST(CheckFrame, EveryOneBitErrorIsCaught)
{
    const uint8_t payload[] = {0x00, 'o', 'k', 0x00};
    uint8_t frame[16];
    const uint32_t total = BuildFrame(0x06, payload, 4, frame, sizeof frame);
    ASSERT_TRUE(CheckFrame(frame, total));
    for (uint32_t byte = 2; byte < total; ++byte) {
        for (int bit = 0; bit < 8; ++bit) {
            frame[byte] ^= static_cast<uint8_t>(1 << bit);
            EXPECT_FALSE(CheckFrame(frame, total)) << "byte " << byte << " bit " << bit;
            frame[byte] ^= static_cast<uint8_t>(1 << bit);
        }
    }
}
