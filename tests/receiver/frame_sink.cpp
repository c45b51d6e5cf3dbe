#include "tests/receiver/frame_sink.h"

#include <mutex>

#include "protocol/device_client.h"
#include "tests/support/fake_platform.h"

namespace {

std::mutex deliveredLock;
std::vector<DeliveredFrame> delivered;

}  // namespace

std::vector<DeliveredFrame> TakeDelivered()
{
    std::lock_guard<std::mutex> hold(deliveredLock);
    std::vector<DeliveredFrame> taken;
    taken.swap(delivered);
    return taken;
}

void HandleReplyFrame(const uint8_t* frame, uint32_t total)
{
    std::lock_guard<std::mutex> hold(deliveredLock);
    delivered.push_back(DeliveredFrame{std::vector<uint8_t>(frame, frame + total), SleepCount()});
}
