// A recording fake of WritePort: every call is kept as one byte string, so a
// test sees both the bytes and how many calls carried them.
#pragma once

#include <cstdint>
#include <vector>

std::vector<std::vector<uint8_t>> TakeWrites();
