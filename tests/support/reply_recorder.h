// Recording fakes of the reply operations HandleReplyFrame reaches
// (ShowNetConfig, AppendOutputLine, ShowAdminPassword, ShowNotice,
// OnHeartbeatReply). They may be called from the assembler thread while a
// test reads them, so every access goes through one mutex.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "protocol/device_client.h"

enum class ReplyKind { NetConfigShown, OutputLine, AdminPassword, Notice, HeartbeatReply };

struct ReplyEvent {
    ReplyKind kind;
    NetConfig config;     // NetConfigShown only
    std::string text;     // OutputLine, AdminPassword, Notice
};

std::vector<ReplyEvent> TakeReplyEvents();   // returns and forgets what was recorded
size_t ReplyEventCount();
