// The frame observation of a program that keeps no protocol trace (the
// dialog, the tests). A static library member is linked only for a symbol
// still undefined, so a program whose own objects define the pair (as
// quorvane-cli does) never pulls this one in.
#include "protocol/device_client.h"

void OnRequestFrame(const uint8_t*, uint32_t) {}
void OnReplyFrame(const uint8_t*, uint32_t) {}
