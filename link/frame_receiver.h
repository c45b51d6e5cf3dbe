// The frame receiver: ReaderThread moves bytes from the open port into
// AssemblyBuffer; AssemblerThread cuts whole frames from its front, hands each
// to HandleReplyFrame and throws away what cannot be a frame.
//
// Neither thread polls. The reader waits for a port to be opened, then in the
// port's own wait for bytes; the assembler waits for the reader's signal that
// bytes were appended, with a time limit only while a start of 1 to 7 bytes
// is held.
//
// Threads and ownership:
//   StagingBuffer, StagingCount,  reader thread only
//   StagingSession
//   AssemblyBuffer                reader appends at and beyond the fill count
//                                 (under ReceiveLock); assembler reads the
//                                 front without the lock and removes bytes
//                                 (under ReceiveLock); nobody else writes it
//   AssemblyFill                  stored under ReceiveLock after the bytes it
//                                 covers, read by the assembler without it
//   stale byte count, the         under ReceiveLock (see frame_receiver.cpp)
//   buffer's session
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

constexpr uint32_t AssemblyBufferSize = 1024;
constexpr uint32_t StagingBufferSize = 2048;
constexpr uint32_t MaxReadSize = 1024;
constexpr uint32_t MinFrameBytes = 8;
// How long a start of 1 to 7 bytes may take to reach 8 bytes, counted from
// the moment the assembler first sees it.
constexpr int64_t PartialStartLimitUs = 50000;

extern std::array<uint8_t, AssemblyBufferSize> AssemblyBuffer;
extern std::atomic<uint32_t> AssemblyFill;
extern std::array<uint8_t, StagingBufferSize> StagingBuffer;
extern uint32_t StagingCount;
// The opening of the port that the staged bytes were read from (PortSession
// of serial_port_internal.h, taken by the reader with its borrow).
extern uint32_t StagingSession;

// Copies the staged bytes behind what AssemblyBuffer holds, as far as there is
// room; the rest is dropped. Bytes held from an earlier opening of the port
// are marked stale, and the assembler drops them before it looks at the new
// ones. Wakes the assembler. Called by the reader after each read.
void AppendStagedBytes();

// One pass of the assembler loop: drops stale bytes, hands over one frame or
// applies a discard rule, or waits (WaitForReceivedBytes) for more bytes.
// Exposed so tests can drive the rules pass by pass.
void AssemblerPass();

// Forgets every held byte and the time limit's start: for tests only, between
// cases. The threads never call it.
void ResetReceiverForTest();

// Thread entry points; they never return.
[[noreturn]] void ReaderThread();
[[noreturn]] void AssemblerThread();

// Initialises ReceiveLock and starts ReaderThread and AssemblerThread, which
// run until the process ends. Once per process, before any port is opened
// (receiver_threads_win32.cpp, receiver_threads_posix.cpp).
void StartReceiver();
