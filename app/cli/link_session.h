// One command's conversation with the device: the port, the receiver
// threads (started once per process), and the replies that HandleReplyFrame
// dispatches on the assembler thread, handed to the main thread. The reply
// operations of protocol/device_client.h are defined in link_session.cpp.
#pragma once

#include <cstdint>
#include <string>

#include "link/serial_port.h"
#include "protocol/device_client.h"

enum class Answer { Accepted, Refused, None };

PortOpenResult OpenLink(const std::string& port);
void CloseLink();

// Forgets what an earlier reply to `request` left; call before sending it.
void ExpectReply(uint8_t request);

// Waits until the device accepted or refused `request`, at most `timeoutMs`.
// A refusal is a reply with a good checksum and a non-zero status, which the
// device client drops; `status` gets that status.
Answer AwaitReply(uint8_t request, int timeoutMs, uint8_t* status = nullptr);

NetConfig ReceivedNetConfig();
std::string ReceivedPassword();   // GBK

// The next output line of a shell command (GBK), waiting at most `waitMs`.
bool NextOutputLine(std::string& line, int waitMs);
