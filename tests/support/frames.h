// Building frames for tests: bytes from a list, and whole reply frames laid
// out by the codec.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "link/frame_codec.h"

inline std::vector<uint8_t> Bytes(std::initializer_list<int> values)
{
    std::vector<uint8_t> v;
    for (int b : values)
        v.push_back(static_cast<uint8_t>(b));
    return v;
}

inline std::vector<uint8_t> MakeFrame(uint8_t code, const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> frame(payload.size() + FrameOverhead);
    BuildFrame(code, payload.data(), static_cast<uint16_t>(payload.size()), frame.data(),
               static_cast<uint32_t>(frame.size()));
    return frame;
}

// A reply: status byte, then `body`.
inline std::vector<uint8_t> MakeReply(uint8_t code, uint8_t status, const std::string& body = "")
{
    std::vector<uint8_t> payload{status};
    payload.insert(payload.end(), body.begin(), body.end());
    return MakeFrame(code, payload);
}
