#include "cli/text.h"

#include <cstdint>

#include "wire/gbk_text.h"

std::string GbkToUtf8(const std::string& gbk)
{
    std::string out;
    out.reserve(gbk.size() * 3 / 2);
    for (size_t i = 0; i < gbk.size();) {
        const uint8_t b = static_cast<uint8_t>(gbk[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        char utf8[8];
        if (i + 1 < gbk.size() && DecodeGbkPair(b, static_cast<uint8_t>(gbk[i + 1]), utf8)) {
            out += utf8;
            i += 2;
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
        out += escaped;
        ++i;
    }
    return out;
}

bool Utf8ToGbk(const std::string& utf8, std::string& gbk)
{
    // A GBK text is never longer than its UTF-8 form.
    std::string buffer(utf8.size() + 1, '\0');
    size_t written = 0;
    if (!EncodeGbk(utf8.data(), utf8.size(), &buffer[0], buffer.size(), &written))
        return false;
    gbk.assign(buffer.data(), written);
    return true;
}
