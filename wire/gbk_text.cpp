#include "wire/gbk_text.h"

#include <cstdio>

uint32_t NextGbkCharacter(const uint8_t* bytes, uint32_t count, char* out)
{
    const uint8_t b = bytes[0];
    if (b < 0x80) {
        out[0] = static_cast<char>(b);
        out[1] = '\0';
        return 1;
    }
    if (b >= 0x81 && b <= 0xFE && count > 1 && DecodeGbkPair(b, bytes[1], out))
        return 2;
    std::snprintf(out, 8, "\\x%02X", b);
    return 1;
}
