#include "wire/frame_codec.h"

#include <cstring>

uint16_t Crc16(const uint8_t* data, uint32_t length)
{
    if (data == nullptr || length == 0)
        return 0;
    uint16_t crc = 0xFFFF;
    // Callers pass at most the 1020 checksummed bytes of a 1024-byte frame.
    // The index is 32 bits wide all the same: a 16-bit one would never reach
    // a length above 65535 and the loop would not end.
    for (uint32_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            if (crc & 1u)
                crc = static_cast<uint16_t>((crc >> 1) ^ 0xA001u);
            else
                crc = static_cast<uint16_t>(crc >> 1);
        }
    }
    return crc;
}

uint32_t BuildFrame(uint8_t code, const uint8_t* payload, uint16_t payloadLength,
                    uint8_t* out, uint32_t outCapacity)
{
    const uint32_t total = payloadLength + FrameOverhead;
    if (out == nullptr || outCapacity < total || (payloadLength != 0 && payload == nullptr))
        return 0;
    out[0] = FrameStart1;
    out[1] = FrameStart2;
    out[2] = code;
    out[3] = 0x00;
    out[4] = static_cast<uint8_t>(payloadLength >> 8);
    out[5] = static_cast<uint8_t>(payloadLength & 0xFF);
    if (payloadLength != 0)
        std::memcpy(out + FrameHeaderSize, payload, payloadLength);
    const uint16_t sum = Crc16(out + 2, payloadLength + 4u);
    StoreChecksum(out, total, sum);
    return total;
}

bool CheckFrame(const uint8_t* frame, uint32_t total)
{
    if (frame == nullptr || total < FrameOverhead)
        return false;
    return Crc16(frame + 2, total - 4) == StoredChecksum(frame, total);
}
