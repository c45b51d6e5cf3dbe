#include "tests/receiver/frame_sink.h"

#include <mutex>

#include "protocol/device_client.h"

namespace {

std::mutex deliveredLock;
std::vector<std::vector<uint8_t>> delivered;
void (*deliveryHook)() = nullptr;

}  // namespace

std::vector<std::vector<uint8_t>> TakeDelivered()
{
    std::lock_guard<std::mutex> hold(deliveredLock);
    std::vector<std::vector<uint8_t>> taken;
    taken.swap(delivered);
    return taken;
}

size_t DeliveredCount()
{
    std::lock_guard<std::mutex> hold(deliveredLock);
    return delivered.size();
}

void SetDeliveryHook(void (*hook)()) { deliveryHook = hook; }

void HandleReplyFrame(const uint8_t* frame, uint32_t total)
{
    {
        std::lock_guard<std::mutex> hold(deliveredLock);
        delivered.emplace_back(frame, frame + total);
    }
    if (auto hook = deliveryHook) {
        deliveryHook = nullptr;
        hook();
    }
}
