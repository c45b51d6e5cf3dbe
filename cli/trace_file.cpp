#include "cli/trace_file.h"

#include <cerrno>

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

Result OpenTrace(TraceFile& trace, const std::string& path, bool showPasswords)
{
    const Result made = Named(MakeLock(trace.lock), "the trace's lock");
    if (!Succeeded(made))
        return made;
    trace.out = std::fopen(path.c_str(), "w");
    trace.showPasswords = showPasswords;
    if (trace.out != nullptr)
        return Success;
    const int error = errno;
    DestroyLock(trace.lock);
    return Failure(Status::Failed, "fopen", error);
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
