// Link frames: the one layout used in both directions on the serial line.
//
//   0x55 0xAA code reserved lenHi lenLo payload[len] crcHi crcLo
//
// The checksum is CRC-16/MODBUS over code..payload, stored high byte first
// (the reverse of Modbus RTU's own order). Nothing is escaped; a frame is
// recognised only by where it stands in the byte stream.
#pragma once

#include <cstdint>

constexpr uint8_t FrameStart1 = 0x55;
constexpr uint8_t FrameStart2 = 0xAA;
constexpr uint32_t FrameOverhead = 8;      // start bytes, code, reserved, length, checksum
constexpr uint32_t FrameHeaderSize = 6;    // bytes before the payload
// The largest frame either end builds or takes in: the client's receiver
// holds no more, and the device's longest reply and the longest request fit.
constexpr uint32_t MaxFrameBytes = 1024;
constexpr uint32_t MaxPayloadBytes = MaxFrameBytes - FrameOverhead;   // 1016

// The fields of a frame. `frame` holds at least the header (6 bytes); for
// StoredChecksum the whole frame of `total` bytes.
inline uint8_t FrameCode(const uint8_t* frame) { return frame[2]; }
inline uint8_t FrameReserved(const uint8_t* frame) { return frame[3]; }
inline uint32_t DeclaredLength(const uint8_t* frame) { return uint32_t{frame[4]} << 8 | frame[5]; }
// What the whole frame measures, by its header: the declared payload and the overhead.
inline uint32_t DeclaredTotal(const uint8_t* frame) { return DeclaredLength(frame) + FrameOverhead; }
inline uint16_t StoredChecksum(const uint8_t* frame, uint32_t total)
{
    return static_cast<uint16_t>(frame[total - 2] << 8 | frame[total - 1]);
}
inline void StoreChecksum(uint8_t* frame, uint32_t total, uint16_t sum)
{
    frame[total - 2] = static_cast<uint8_t>(sum >> 8);
    frame[total - 1] = static_cast<uint8_t>(sum & 0xFF);
}
inline const uint8_t* FramePayload(const uint8_t* frame) { return frame + FrameHeaderSize; }

// CRC-16/MODBUS, bit by bit. Returns 0 for a null pointer or an empty range
// (the published algorithm would give 0xFFFF; no frame asks for that case).
uint16_t Crc16(const uint8_t* data, uint32_t length);

// Lays out the frame for `code` and `payloadLength` payload bytes into `out`.
// Returns the frame's total length (payloadLength + 8), or 0 when `out` cannot
// hold it (nothing is written then).
uint32_t BuildFrame(uint8_t code, const uint8_t* payload, uint16_t payloadLength,
                    uint8_t* out, uint32_t outCapacity);

// `frame` holds at least `total` bytes, total = declared payload length + 8.
// True when the checksum in the last two of them matches.
bool CheckFrame(const uint8_t* frame, uint32_t total);
