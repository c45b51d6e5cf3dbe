#include "tests/support/write_recorder.h"

#include <mutex>

#include "link/serial_port.h"

namespace {

std::mutex writesLock;
std::vector<std::vector<uint8_t>> writes;

}  // namespace

std::vector<std::vector<uint8_t>> TakeWrites()
{
    std::lock_guard<std::mutex> hold(writesLock);
    std::vector<std::vector<uint8_t>> taken;
    taken.swap(writes);
    return taken;
}

void WritePort(const uint8_t* data, uint32_t length)
{
    std::lock_guard<std::mutex> hold(writesLock);
    writes.emplace_back(data, data + length);
}
