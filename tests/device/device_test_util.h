// Helpers shared by the device's tests: byte strings written as hex, and an
// independent frame builder (table-driven CRC) to check the device against.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline Bytes Hex(const std::string& text)
{
    Bytes out;
    std::string digits;
    for (char c : text)
        if (c != ' ')
            digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::strtoul(digits.substr(i, 2).c_str(), nullptr, 16)));
    return out;
}

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

inline Bytes Frame(uint8_t code, const Bytes& payload)
{
    Bytes f(payload.size() + 6);
    f[0] = 0x55;
    f[1] = 0xAA;
    f[2] = code;
    f[4] = static_cast<uint8_t>(payload.size() >> 8);
    f[5] = static_cast<uint8_t>(payload.size() & 0xFF);
    for (size_t i = 0; i < payload.size(); ++i)
        f[6 + i] = payload[i];
    const uint16_t crc = ReferenceCrc(f.data() + 2, f.size() - 2);
    f.push_back(static_cast<uint8_t>(crc >> 8));
    f.push_back(static_cast<uint8_t>(crc & 0xFF));
    return f;
}

// A reply that carries a text: status, the text, 0.
inline Bytes TextFrame(uint8_t code, uint8_t status, const std::string& text)
{
    Bytes payload = {status};
    payload.insert(payload.end(), text.begin(), text.end());
    payload.push_back(0);
    return Frame(code, payload);
}

inline Bytes ShellRequest(const std::string& command)
{
    Bytes payload(command.begin(), command.end());
    payload.push_back(0);
    return Frame(0x05, payload);
}

// The text of a 0x06/0x0A reply frame (payload byte 1 up to its 0).
inline std::string ReplyText(const Bytes& frame)
{
    std::string text;
    for (size_t i = 7; i + 2 < frame.size() && frame[i] != 0; ++i)
        text += static_cast<char>(frame[i]);
    return text;
}

// Splits a byte stream into frames, skipping bytes that cannot start one.
inline std::vector<Bytes> SplitFrames(const Bytes& stream)
{
    std::vector<Bytes> frames;
    size_t i = 0;
    while (i + 8 <= stream.size()) {
        if (stream[i] != 0x55 || stream[i + 1] != 0xAA) {
            ++i;
            continue;
        }
        const size_t total = ((size_t{stream[i + 4]} << 8) | stream[i + 5]) + 8;
        if (i + total > stream.size())
            break;
        frames.emplace_back(stream.begin() + static_cast<long>(i), stream.begin() + static_cast<long>(i + total));
        i += total;
    }
    return frames;
}
