// Byte strings for tests: written as hex or as a list, whole frames laid out
// by the codec, and the text and frames found in what a device sent.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "wire/frame_codec.h"

using Bytes = std::vector<uint8_t>;

// "55 AA 01" -> {0x55, 0xAA, 0x01}
inline Bytes Hex(const std::string& text)
{
    Bytes out;
    for (size_t i = 0; i + 1 < text.size();) {
        if (text[i] == ' ' || text[i] == '\n' || text[i] == '\r') {
            ++i;
            continue;
        }
        out.push_back(static_cast<uint8_t>(std::strtoul(text.substr(i, 2).c_str(), nullptr, 16)));
        i += 2;
    }
    return out;
}

inline Bytes MakeFrame(uint8_t code, const Bytes& payload)
{
    Bytes frame(payload.size() + FrameOverhead);
    BuildFrame(code, payload.data(), static_cast<uint16_t>(payload.size()), frame.data(),
               static_cast<uint32_t>(frame.size()));
    return frame;
}

// A reply: status byte, then `body`.
inline Bytes MakeReply(uint8_t code, uint8_t status, const std::string& body = "")
{
    Bytes payload{status};
    payload.insert(payload.end(), body.begin(), body.end());
    return MakeFrame(code, payload);
}

// A reply carrying a text as the device sends it: status, text, 0.
inline Bytes TextReply(uint8_t code, uint8_t status, const std::string& text)
{
    return MakeReply(code, status, text + std::string(1, '\0'));
}

// The text of a text reply (payload byte 1 up to its 0).
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
    for (size_t i = 0; i + 8 <= stream.size();) {
        if (stream[i] != FrameStart1 || stream[i + 1] != FrameStart2) {
            ++i;
            continue;
        }
        const size_t total = ((size_t{stream[i + 4]} << 8) | stream[i + 5]) + FrameOverhead;
        if (i + total > stream.size())
            break;
        frames.emplace_back(stream.begin() + static_cast<long>(i), stream.begin() + static_cast<long>(i + total));
        i += total;
    }
    return frames;
}
