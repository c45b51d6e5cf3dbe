// A recording fake of HandleReplyFrame for the receiver's tests: it keeps a
// copy of every frame handed over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

std::vector<std::vector<uint8_t>> TakeDelivered();
size_t DeliveredCount();

// Called inside HandleReplyFrame, once, after the frame is recorded: bytes
// that arrive while a reply operation runs. Null for none.
void SetDeliveryHook(void (*hook)());
