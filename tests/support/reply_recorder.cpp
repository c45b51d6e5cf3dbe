#include "tests/support/reply_recorder.h"

#include <mutex>

#include "ui/config_dialog.h"
#include "ui/link_supervisor.h"

namespace {

std::mutex eventsLock;
std::vector<ReplyEvent> events;

void Record(ReplyKind kind, const NetConfig& config, const char* text)
{
    std::lock_guard<std::mutex> hold(eventsLock);
    events.push_back(ReplyEvent{kind, config, text ? std::string(text) : std::string()});
}

}  // namespace

std::vector<ReplyEvent> TakeReplyEvents()
{
    std::lock_guard<std::mutex> hold(eventsLock);
    std::vector<ReplyEvent> taken;
    taken.swap(events);
    return taken;
}

size_t ReplyEventCount()
{
    std::lock_guard<std::mutex> hold(eventsLock);
    return events.size();
}

void ShowNetConfig(const NetConfig& config) { Record(ReplyKind::NetConfigShown, config, nullptr); }
void AppendOutputLine(const char* text) { Record(ReplyKind::OutputLine, NetConfig{}, text); }
void ShowAdminPassword(const char* text) { Record(ReplyKind::AdminPassword, NetConfig{}, text); }
void ShowNotice(const char* text) { Record(ReplyKind::Notice, NetConfig{}, text); }
void OnHeartbeatReply() { Record(ReplyKind::HeartbeatReply, NetConfig{}, nullptr); }
