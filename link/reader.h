// The reader: a thread that moves the bytes arriving on a session's port to
// whatever takes them (the session's receiver; a recorder in the tests).
// It never polls: while no port is open it waits for an opening, and while
// one is open it waits in the port's own wait for bytes.
//
// Threads and ownership:
//   staging, readEvent, readWaits, lost, toldOpening   the reader thread only
//   stopping             set by the owner (StopReader), read by the reader
//   commWaits            written by the reader, read by anyone
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "link/serial_port.h"

constexpr uint32_t MaxReadSize = 1024;

// `opening` counts the port's openings (PortOpenings), so that the taker can
// tell the bytes of a new opening from those of the last.
struct ByteSink {
    void* context;
    void (*bytes)(void* context, const uint8_t* bytes, uint32_t count, uint32_t opening);
};

// Told once per opening when the open port's adapter is gone (Status::Removed,
// with the system's reason), on the reader thread; the reader then waits for
// the next opening. The owner closes the port.
struct RemovalSink {
    void* context;
    void (*removed)(void* context, const Result& why, uint32_t opening);
};

struct Reader {
    SerialPort* port = nullptr;
    ByteSink sink{};
    RemovalSink removal{};   // set before the thread starts; none: the removal is only waited out
    Result lost{};           // the reason of a ReadPass::Removed (reader thread)
    uint32_t toldOpening = 0;   // the opening whose removal was told (reader thread)
    std::atomic<bool> stopping{false};
    std::array<uint8_t, MaxReadSize> staging{};
    intptr_t readEvent = 0;   // Win32: the overlapped record's event
    bool readWaits = false;   // Win32: the next pass lets its read wait for bytes (reader_win32.cpp)
    std::atomic<uint32_t> commWaits{0};   // Win32: comm-event waits started (a Wine test counts them)
    bool made = false;
};

// Fails when the reader's event cannot be made (Win32).
Result MakeReader(Reader& reader, SerialPort& port, ByteSink sink);
void DestroyReader(Reader& reader);

// The thread's body; returns once StopReader has been called.
void RunReader(Reader& reader);

// Any thread: the reader returns from RunReader soon. Close the port first,
// or the reader may still be inside its wait for bytes.
void StopReader(Reader& reader);
