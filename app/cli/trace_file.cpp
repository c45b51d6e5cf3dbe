#include "app/cli/trace_file.h"

#include <cstdio>
#include <mutex>

#include "app/cli/text.h"
#include "link/frame_codec.h"
#include "protocol/frame_text.h"

namespace {

// Written by both threads; the lock keeps each line whole.
std::mutex traceLock;
FILE* traceOut = nullptr;    // set before the receiver starts, then only read
bool tracePasswords = false;

void WriteLine(const char* tag, const char* text)
{
    char clock[16];
    WallClock(clock, sizeof clock);
    std::lock_guard<std::mutex> hold(traceLock);
    std::fprintf(traceOut, "%s  %-3s  %s\n", clock, tag, text);
    std::fflush(traceOut);
}

}  // namespace

bool OpenTrace(const std::string& path, bool showPasswords)
{
    traceOut = std::fopen(path.c_str(), "w");
    tracePasswords = showPasswords;
    return traceOut != nullptr;
}

void CloseTrace()
{
    std::lock_guard<std::mutex> hold(traceLock);
    if (traceOut != nullptr)
        std::fclose(traceOut);
    traceOut = nullptr;
}

void TraceFrame(const char* tag, const uint8_t* frame, uint32_t total)
{
    if (traceOut == nullptr)
        return;
    char text[FrameTextSize];
    if (CheckFrame(frame, total)) {
        DescribeFrame(frame, total, text, sizeof text, tracePasswords);
        WriteLine(tag, text);
    } else {
        DescribeBadChecksum(frame, total, text, sizeof text);
        WriteLine("RX!", text);
    }
}

void TraceNote(const char* text)
{
    if (traceOut != nullptr)
        WriteLine("--", text);
}
