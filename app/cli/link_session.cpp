#include "app/cli/link_session.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "app/cli/ports.h"
#include "app/cli/trace_file.h"
#include "link/frame_codec.h"
#include "link/frame_receiver.h"
#include "protocol/notice_texts.h"
#include "ui/config_dialog.h"
#include "ui/link_supervisor.h"
#include "ui/texts.h"

namespace {

constexpr size_t LineSlots = 32;
constexpr size_t LineBytes = MaxReceivedPayload + 1;
constexpr size_t RequestCodes = SetAdminPassword + 1;

struct ReplySlot {
    bool accepted;
    bool refused;
    uint8_t status;
};

// Everything below is written by the assembler thread (reply operations) and
// read and reset by the main thread, always under `lock`. Fixed buffers: the
// assembler thread allocates nothing. A full line queue makes the assembler
// wait for the main thread, as the dialog's synchronous calls do.
std::mutex lock;
std::condition_variable changed;
std::array<ReplySlot, RequestCodes> slots{};
NetConfig netConfig{};
std::array<char, PasswordBufferSize> password{};
std::array<std::array<char, LineBytes>, LineSlots> lines;
size_t firstLine = 0;
size_t lineCount = 0;

std::once_flag receiverStarted;

void Accept(uint8_t request)
{
    slots[request].accepted = true;
    changed.notify_all();
}

void CopyText(const char* text, char* out, size_t capacity)
{
    std::strncpy(out, text, capacity - 1);
    out[capacity - 1] = '\0';
}

}  // namespace

PortOpenResult OpenLink(const std::string& port)
{
    const PortOpenResult result = OpenPortReporting(DevicePathOf(port).c_str());
    if (result.status == PortOpenStatus::Opened) {
        TraceNote(("opened " + port).c_str());
        std::call_once(receiverStarted, StartReceiver);
    }
    return result;
}

void CloseLink()
{
    ClosePort();
}

void ExpectReply(uint8_t request)
{
    std::lock_guard<std::mutex> hold(lock);
    slots[request] = ReplySlot{};
    if (request == RunShellCommand)
        firstLine = lineCount = 0;
}

Answer AwaitReply(uint8_t request, int timeoutMs, uint8_t* status)
{
    std::unique_lock<std::mutex> hold(lock);
    const ReplySlot& slot = slots[request];
    changed.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                     [&] { return slot.accepted || slot.refused; });
    if (status != nullptr)
        *status = slot.status;
    if (slot.accepted)
        return Answer::Accepted;
    return slot.refused ? Answer::Refused : Answer::None;
}

NetConfig ReceivedNetConfig()
{
    std::lock_guard<std::mutex> hold(lock);
    return netConfig;
}

std::string ReceivedPassword()
{
    std::lock_guard<std::mutex> hold(lock);
    return std::string(password.data());
}

bool NextOutputLine(std::string& line, int waitMs)
{
    std::unique_lock<std::mutex> hold(lock);
    if (!changed.wait_for(hold, std::chrono::milliseconds(waitMs), [] { return lineCount != 0; }))
        return false;
    line = lines[firstLine].data();
    firstLine = (firstLine + 1) % LineSlots;
    --lineCount;
    changed.notify_all();
    return true;
}

// ---- the device client's reply operations (assembler thread) ----

void ShowNetConfig(const NetConfig& config)
{
    {
        std::lock_guard<std::mutex> hold(lock);
        netConfig = config;
        Accept(GetNetConfig);
    }
    CancelFirstContact();   // as the dialog does, for watch
}

void ShowAdminPassword(const char* text)
{
    {
        std::lock_guard<std::mutex> hold(lock);
        CopyText(text, password.data(), password.size());
        Accept(GetAdminPassword);
    }
    SetStatusText(texts::Connected);
    MarkLinkAlive();
}

void ShowNotice(const char* text)
{
    std::lock_guard<std::mutex> hold(lock);
    if (std::strcmp(text, texts::NetConfigApplied) == 0)
        Accept(SetNetConfig);
    else if (std::strcmp(text, texts::PasswordChanged) == 0)
        Accept(SetAdminPassword);
}

void AppendOutputLine(const char* text)
{
    std::unique_lock<std::mutex> hold(lock);
    changed.wait(hold, [] { return lineCount < LineSlots; });
    CopyText(text, lines[(firstLine + lineCount) % LineSlots].data(), LineBytes);
    ++lineCount;
    Accept(RunShellCommand);
}

// ---- frame observation: the trace, and the refusals the client drops ----

void OnRequestFrame(const uint8_t* frame, uint32_t total)
{
    TraceFrame("TX", frame, total);
}

void OnReplyFrame(const uint8_t* frame, uint32_t total)
{
    TraceFrame("RX", frame, total);
    if (total <= FrameOverhead || !CheckFrame(frame, total))
        return;
    const uint8_t code = frame[2];
    const uint8_t status = frame[FrameHeaderSize];
    if (status == 0 || code % 2 != 0 || code < 2 || code > RequestCodes)
        return;
    std::lock_guard<std::mutex> hold(lock);
    slots[code - 1].refused = true;
    slots[code - 1].status = status;
    changed.notify_all();
}
