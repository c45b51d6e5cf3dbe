// An independent, table-driven CRC-16/MODBUS (reflected 0xA001, init 0xFFFF,
// no final XOR) that the tests check the product's bitwise Crc16 and the
// device's frames against.
#pragma once

#include <cstddef>
#include <cstdint>

inline uint16_t ReferenceCrc(const uint8_t* data, size_t length)
{
    static uint16_t table[256];
    static bool ready = false;
    if (!ready) {
        for (unsigned n = 0; n < 256; ++n) {
            uint16_t c = static_cast<uint16_t>(n);
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : static_cast<uint16_t>(c >> 1);
            table[n] = c;
        }
        ready = true;
    }
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < length; ++i)
        crc = static_cast<uint16_t>((crc >> 8) ^ table[(crc ^ data[i]) & 0xFF]);
    return crc;
}
