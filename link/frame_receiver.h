// The frame receiver: ReaderThread moves bytes from the open port into
// AssemblyBuffer; AssemblerThread cuts whole frames from its front, hands each
// to HandleReplyFrame and throws away what cannot be a frame.
//
// Threads and ownership:
//   StagingBuffer, StagingCount  reader thread only
//   AssemblyBuffer               reader appends at and beyond the fill count
//                                (under ReceiveLock); assembler reads the
//                                front without the lock and removes frames
//                                (under ReceiveLock)
//   AssemblyFill                 stored under ReceiveLock after the bytes it
//                                covers, read by the assembler without it
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

constexpr uint32_t AssemblyBufferSize = 1024;
constexpr uint32_t StagingBufferSize = 2048;
constexpr uint32_t MaxReadSize = 1024;
constexpr uint32_t MinFrameBytes = 8;
constexpr uint32_t IdleSleepLimit = 50;   // 1 ms sleeps allowed for a 1..7 byte start

extern std::array<uint8_t, AssemblyBufferSize> AssemblyBuffer;
extern std::atomic<uint32_t> AssemblyFill;
extern std::array<uint8_t, StagingBufferSize> StagingBuffer;
extern uint32_t StagingCount;

// Copies the staged bytes behind what AssemblyBuffer holds, as far as there is
// room; the rest is dropped. Called by the reader after each read.
void AppendStagedBytes();

// One pass of the assembler loop. Sleeps (SleepMilliseconds) only while fewer
// than 8 bytes are held. Exposed so tests can drive the rules pass by pass.
void AssemblerPass();

// Forgets the idle count and empties the buffer: for tests only, between
// cases. The threads never call it.
void ResetReceiverForTest();

// Thread entry points; they never return.
[[noreturn]] void ReaderThread();
[[noreturn]] void AssemblerThread();

// Starts ReaderThread and AssemblerThread and the lock and wake-ups they
// need; call once per process.
void StartReceiver();
