#include "device/runtime.h"

#include <array>
#include <cstring>

#include "link/platform.h"
#include "wire/frame_codec.h"
#include "device/answer.h"
#include "device/trace.h"

namespace {

constexpr uint32_t MaxNoiseBytes = 8;
constexpr uint32_t NoisePauseMs = 5;
constexpr uint32_t MaxPieceBytes = 7;
constexpr uint32_t MaxPiecePauseMs = 3;

uint32_t Pick(Runtime& rt, uint32_t low, uint32_t high)
{
    return std::uniform_int_distribution<uint32_t>(low, high)(rt.random);
}

// At line speed while a client holds the line. What goes out after it has
// closed the pty reaches nobody (the next opening flushes it), and sent byte
// by byte, the rest of a long answer (ifconfig's after the MAC) would only
// take the machine's time from the devices still talking to their clients.
bool Paced(Runtime& rt)
{
    if (!rt.options.lineSpeed)
        return false;
    if (rt.clients < 0)
        return true;
    NoteClients(rt, rt.clients);
    return rt.clientsOpen > 0;
}

void Write(Runtime& rt, const uint8_t* bytes, uint32_t count)
{
    const uint32_t written = Paced(rt) ? SendAtLineSpeed(rt.pace, bytes, count, WriteToLine, &rt.line)
                                       : WriteLine(rt.line, bytes, count);
    if (written < count) {
        char note[128];
        std::snprintf(note, sizeof note, "line full, nobody reading: %u of %u bytes dropped",
                      count - written, count);
        Trace(rt, "--", note);
    }
}

// Noise never holds the first start byte, so it never looks like a frame of
// its own; what a client loses to it is down to its discard rules.
void SendNoise(Runtime& rt)
{
    std::array<uint8_t, MaxNoiseBytes> noise{};
    const uint32_t n = Pick(rt, 1, MaxNoiseBytes);
    for (uint32_t i = 0; i < n; ++i) {
        do
            noise[i] = static_cast<uint8_t>(Pick(rt, 0, 255));
        while (noise[i] == FrameStart1);
    }
    char hex[64], text[96];
    FormatHex(noise.data(), n, MaxNoiseBytes, hex, sizeof hex);
    std::snprintf(text, sizeof text, "noise: %s", hex);
    Trace(rt, "--", text);
    LogFrame(rt, "TXN", noise.data(), n);
    Write(rt, noise.data(), n);
    SleepMilliseconds(NoisePauseMs);
}

void SendInPieces(Runtime& rt, const uint8_t* bytes, uint32_t count)
{
    uint32_t done = 0;
    while (done < count) {
        uint32_t piece = Pick(rt, 1, MaxPieceBytes);
        if (piece > count - done)
            piece = count - done;
        Write(rt, bytes + done, piece);
        done += piece;
        if (done < count)
            SleepMilliseconds(Pick(rt, 1, MaxPiecePauseMs));
    }
}

}  // namespace

int64_t MonotonicMs() { return MonotonicMicroseconds() / 1000; }

int64_t ElapsedMs(const Runtime& rt) { return MonotonicMs() - rt.startMs; }

void Trace(Runtime& rt, const char* tag, const char* text)
{
    if (rt.options.quiet)
        return;
    char clock[16];
    FormatWallClock(clock, sizeof clock);
    const char* colour = "";
    if (rt.colour) {
        if (std::strcmp(tag, "RX") == 0) colour = "\033[36m";
        else if (std::strcmp(tag, "TX") == 0) colour = "\033[32m";
        else if (std::strcmp(tag, "--") == 0) colour = "\033[2m";
        else colour = "\033[31m";
    }
    if (rt.colour)
        std::fprintf(stderr, "\033[2m%s\033[0m  %s%-3s\033[0m  %s\n", clock, colour, tag, text);
    else
        std::fprintf(stderr, "%s  %-3s  %s\n", clock, tag, text);
}

// The wall clock lets another program's log, written on the same machine
// (quorvane-driver.exe under Wine reads the same clock through
// GetSystemTimeAsFileTime), be set beside this one; the elapsed time is what
// a reader of one log alone wants.
void LogFrame(Runtime& rt, const char* tag, const uint8_t* bytes, uint32_t count)
{
    if (rt.framesLog == nullptr)
        return;
    const int64_t ms = rt.options.wallClock ? WallClockMilliseconds() : ElapsedMs(rt);
    std::fprintf(rt.framesLog, "%lld %s", static_cast<long long>(ms), tag);
    for (uint32_t i = 0; i < count; ++i)
        std::fprintf(rt.framesLog, " %02X", bytes[i]);
    std::fputc('\n', rt.framesLog);
    std::fflush(rt.framesLog);
}

void TransmitReply(void* runtime, const uint8_t* frame, uint32_t total)
{
    Runtime& rt = *static_cast<Runtime*>(runtime);
    if (rt.options.delayMs != 0)
        SleepMilliseconds(rt.options.delayMs);
    if (rt.options.noise && (rt.repliesSent + 1) % rt.options.noiseEvery == 0)
        SendNoise(rt);

    std::array<uint8_t, MaxFrameBytes> wire{};
    std::memcpy(wire.data(), frame, total);
    ++rt.repliesSent;
    const bool corrupt = rt.options.corruptEvery != 0 && rt.repliesSent % rt.options.corruptEvery == 0;
    char text[TraceLineSize];
    DescribeFrame(frame, total, text, sizeof text);
    LogFrame(rt, "TX", frame, total);
    if (corrupt) {
        const uint16_t built = StoredChecksum(frame, total);
        const uint16_t sent = static_cast<uint16_t>(built ^ (1u << Pick(rt, 0, 15)));
        StoreChecksum(wire.data(), total, sent);
        LogFrame(rt, "TXC", wire.data(), total);
        const size_t used = std::strlen(text);
        std::snprintf(text + used, sizeof text - used, "  [checksum corrupted: %02X %02X sent as %02X %02X]",
                      built >> 8, built & 0xFF, sent >> 8, sent & 0xFF);
    }
    Trace(rt, "TX", text);
    if (rt.options.fragment)
        SendInPieces(rt, wire.data(), total);
    else
        Write(rt, wire.data(), total);
}
