// The frame receiver of one session: the reader appends the bytes it read
// (AppendBytes); the assembler thread (RunAssembler) cuts whole frames from
// the front of the buffer, hands each to the session's frame sink, and
// throws away what cannot be a frame. The assembler waits for the reader's
// signal, with a time limit only while a start of 1 to 7 bytes is held.
//
// Threads and ownership:
//   buffer          the reader appends at and beyond the fill count (under
//                   lock); the assembler reads the front without the lock and
//                   removes bytes (under lock); nobody else writes it
//   fill            stored under lock after the bytes it covers, read by the
//                   assembler without it
//   staleBytes,     under lock (see frame_receiver.cpp)
//   bufferOpening
//   partialSince    the assembler thread only
//   stopping        set by the owner (StopAssembler), read by the assembler
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "link/platform.h"
#include "wire/frame_codec.h"

constexpr uint32_t MinFrameBytes = FrameOverhead;           // 8
// How long a start of 1 to 7 bytes may take to reach 8 bytes, counted from
// the moment the assembler first sees it.
constexpr int64_t PartialStartLimitUs = 50000;
constexpr int64_t NoPartialStart = -1;

// `frame` points at the first start byte of one whole frame of `total`
// bytes (declared payload length + 8, at most 1024); it stays valid and
// unchanged until the call returns, however long that takes.
struct FrameSink {
    void* context;
    void (*frame)(void* context, const uint8_t* frame, uint32_t total);
};

struct Receiver {
    std::array<uint8_t, MaxFrameBytes> buffer{};
    std::atomic<uint32_t> fill{0};
    uint32_t staleBytes = 0;      // front bytes of an earlier opening
    uint32_t bufferOpening = 0;   // the opening the newest held bytes came from
    int64_t partialSince = NoPartialStart;
    std::atomic<bool> stopping{false};
    Lock lock;
    Wakeup bytesArrived;
    FrameSink sink{};
    PlatformCalls platform{};
    bool made = false;
};

// Fails when its lock or wake-up cannot be made.
Result MakeReceiver(Receiver& receiver, FrameSink sink, const PlatformCalls& platform);
void DestroyReceiver(Receiver& receiver);

// Copies `count` bytes (at most MaxReadSize) behind what the buffer holds, as
// far as there is room; the rest is dropped. Bytes held from an earlier
// opening of the port are marked stale, and the assembler drops them before
// it looks at the new ones. Wakes the assembler. The reader's thread.
void AppendBytes(Receiver& receiver, const uint8_t* bytes, uint32_t count, uint32_t opening);

// One pass of the assembler loop: drops stale bytes, hands over one frame or
// applies a discard rule, or waits for more bytes. Exposed so tests can
// drive the rules pass by pass.
void AssemblerPass(Receiver& receiver);

// The assembler thread's body; returns once StopAssembler has been called.
void RunAssembler(Receiver& receiver);
void StopAssembler(Receiver& receiver);
