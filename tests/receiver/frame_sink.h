// A recording fake of HandleReplyFrame for the receiver's tests: it keeps a
// copy of every frame handed over and how many sleeps had been taken by then.
#pragma once

#include <cstdint>
#include <vector>

struct DeliveredFrame {
    std::vector<uint8_t> bytes;
    uint32_t sleepsBefore;
};

std::vector<DeliveredFrame> TakeDelivered();
