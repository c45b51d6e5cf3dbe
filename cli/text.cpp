#include "cli/text.h"

#include <cstdint>

#include "wire/frame_text.h"
#include "wire/gbk_text.h"

std::string GbkToUtf8(const std::string& gbk)
{
    std::string out;
    out.reserve(gbk.size() * 3 / 2);
    const auto* bytes = reinterpret_cast<const uint8_t*>(gbk.data());
    const auto count = static_cast<uint32_t>(gbk.size());
    char utf8[8];
    for (uint32_t i = 0; i < count;) {
        i += NextGbkCharacter(bytes + i, count - i, utf8);
        out += utf8;
    }
    return out;
}

bool IsUtf8(const std::string& bytes)
{
    for (size_t i = 0; i < bytes.size();) {
        const uint8_t b = static_cast<uint8_t>(bytes[i]);
        // The length of the sequence, and the smallest code point it may
        // carry (anything shorter would be an overlong form).
        const size_t length = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        if (length == 0 || i + length > bytes.size())
            return false;
        uint32_t code = length == 1 ? b : b & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            const uint8_t c = static_cast<uint8_t>(bytes[i + k]);
            if ((c & 0xC0) != 0x80)
                return false;
            code = code << 6 | (c & 0x3F);
        }
        static const uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

namespace {

bool GbkLineToUtf8(const std::string& gbk, std::string& utf8)
{
    std::string buffer(gbk.size() * 3 + 1, '\0');
    size_t written = 0;
    if (!DecodeGbk(gbk.data(), gbk.size(), &buffer[0], buffer.size(), &written))
        return false;
    utf8.assign(buffer.data(), written);
    return true;
}

// The first line (1-based) that `valid` refuses, 0 for none.
template <typename Valid>
size_t FirstInvalid(const std::vector<std::string>& lines, Valid valid)
{
    for (size_t i = 0; i < lines.size(); ++i)
        if (!valid(lines[i]))
            return i + 1;
    return 0;
}

}  // namespace

bool DecodeLines(std::vector<std::string>& lines, TextEncoding encoding, std::string& error)
{
    std::string ignored;
    auto isGbk = [&](const std::string& line) { return GbkLineToUtf8(line, ignored); };
    const size_t notUtf8 = encoding == TextEncoding::Gbk ? 1 : FirstInvalid(lines, IsUtf8);
    if (notUtf8 == 0)
        return true;
    if (encoding == TextEncoding::Utf8) {
        error = "line " + std::to_string(notUtf8) + " is not valid UTF-8 text";
        return false;
    }
    const size_t notGbk = FirstInvalid(lines, isGbk);
    if (notGbk != 0) {
        const size_t neither = FirstInvalid(lines, [&](const std::string& l) { return IsUtf8(l) || isGbk(l); });
        error = encoding == TextEncoding::Gbk ? "line " + std::to_string(notGbk) + " is not valid GBK text"
                : neither != 0 ? "line " + std::to_string(neither) + " is neither UTF-8 nor GBK text"
                               : "line " + std::to_string(notUtf8) + " is not UTF-8 and line " +
                                     std::to_string(notGbk) + " is not GBK: save the file in one encoding";
        return false;
    }
    for (std::string& line : lines)
        GbkLineToUtf8(line, line);
    return true;
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

std::string ReadStdinLine()
{
    std::string line;
    for (int c; (c = std::getchar()) != EOF && c != '\n';)
        line += static_cast<char>(c);
    while (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

std::string DottedText(uint32_t address)
{
    char text[16];
    FormatDotted(address, text, sizeof text);
    return text;
}
