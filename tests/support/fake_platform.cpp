#include "tests/support/fake_platform.h"

namespace {

int64_t Now(void* context) { return static_cast<FakePlatform*>(context)->now; }

bool Wait(void* context, Wakeup&, uint32_t timeoutMs)
{
    FakePlatform& fake = *static_cast<FakePlatform*>(context);
    fake.waits.push_back(timeoutMs);
    if (fake.waitHook != nullptr)
        fake.waitHook(fake.hookContext);
    return false;
}

}  // namespace

PlatformCalls FakeCalls(FakePlatform& fake) { return PlatformCalls{&fake, Now, Wait}; }

std::vector<uint32_t> TakeWaits(FakePlatform& fake)
{
    std::vector<uint32_t> taken;
    taken.swap(fake.waits);
    return taken;
}
