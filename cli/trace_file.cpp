#include "cli/trace_file.h"

#include "wire/frame_codec.h"
#include "wire/frame_text.h"

namespace {

void WriteLine(TraceFile& trace, const char* tag, const char* text)
{
    char clock[16];
    FormatWallClock(clock, sizeof clock);
    EnterLock(trace.lock);
    std::fprintf(trace.out, "%s  %-3s  %s\n", clock, tag, text);
    std::fflush(trace.out);
    LeaveLock(trace.lock);
}

}  // namespace

bool OpenTrace(TraceFile& trace, const std::string& path, bool showPasswords)
{
    if (!MakeLock(trace.lock, nullptr))
        return false;
    trace.out = std::fopen(path.c_str(), "w");
    trace.showPasswords = showPasswords;
    if (trace.out == nullptr)
        DestroyLock(trace.lock);
    return trace.out != nullptr;
}

void CloseTrace(TraceFile& trace)
{
    if (trace.out == nullptr)
        return;
    std::fclose(trace.out);
    trace.out = nullptr;
    DestroyLock(trace.lock);
}

void TraceFrame(TraceFile& trace, const char* tag, const uint8_t* frame, uint32_t total)
{
    if (trace.out == nullptr)
        return;
    char text[FrameTextSize];
    if (CheckFrame(frame, total)) {
        DescribeFrame(frame, total, text, sizeof text, trace.showPasswords);
        WriteLine(trace, tag, text);
    } else {
        DescribeBadChecksum(frame, total, text, sizeof text);
        WriteLine(trace, "RX!", text);
    }
}

void TraceNote(TraceFile& trace, const char* text)
{
    if (trace.out != nullptr)
        WriteLine(trace, "--", text);
}
