#include "tests/ui/supervision_fakes.h"

#include <array>
#include <cstring>

#include "protocol/device_client.h"
#include "ui/config_dialog.h"
#include "ui/link_supervisor.h"
#include "ui/texts.h"

namespace fake {

std::atomic<uint32_t> heartbeats{0};
std::atomic<uint32_t> statusTexts{0};
std::atomic<uint32_t> portToggles{0};
std::function<void()> whileNoAnswerOpen;

namespace {
std::array<Call, LogSize> log;
std::atomic<uint32_t> logged{0};

void Record(Call call)
{
    const uint32_t at = logged.fetch_add(1);
    if (at < LogSize) {
        log[at] = call;
    }
}
}  // namespace

uint32_t Count() { return logged.load() < LogSize ? logged.load() : LogSize; }
Call At(uint32_t index) { return log.at(index); }

uint32_t CountOf(Call call)
{
    uint32_t n = 0;
    for (uint32_t i = 0; i < Count(); ++i) {
        n += log[i] == call ? 1 : 0;
    }
    return n;
}

void Reset()
{
    logged.store(0);
    heartbeats.store(0);
    statusTexts.store(0);
    portToggles.store(0);
    whileNoAnswerOpen = nullptr;
    heartbeatTicks.store(0);
    linkCountdown.store(0);
    firstContactCountdown.store(0);
}

}  // namespace fake

void SendHeartbeat()
{
    fake::heartbeats.fetch_add(1);
    fake::Record(Call::Heartbeat);
}

void SetStatusText(const char* text)
{
    fake::statusTexts.fetch_add(1);
    if (std::strcmp(text, texts::NotConnected) == 0) {
        fake::Record(Call::StatusNotConnected);
    } else if (std::strcmp(text, texts::Connected) == 0) {
        fake::Record(Call::StatusConnected);
    } else {
        fake::Record(Call::StatusOther);
    }
}

void ReleasePort() { fake::Record(Call::ReleasePort); }

void ClickPortToggle()
{
    fake::portToggles.fetch_add(1);
    fake::Record(Call::ClickPortToggle);
}

void ShowNoAnswerMessage()
{
    fake::Record(Call::NoAnswerShown);
    if (fake::whileNoAnswerOpen) {
        fake::whileNoAnswerOpen();
    }
    fake::Record(Call::NoAnswerDismissed);
}

void KillSupervisionTimer() { fake::Record(Call::KillTimer); }
