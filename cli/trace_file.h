// --trace FILE: every frame sent and received on one link, decoded by the
// same decoder as the virtual device's trace, one line each:
//   HH:MM:SS.mmm  TX   01 GetNetConfig
//   HH:MM:SS.mmm  RX   02 GetNetConfig reply      ok  dhcp off  ip ...
//   HH:MM:SS.mmm  RX!  bad checksum on code 06 (...), dropped: ...
// Password texts are masked unless asked for: trace files get mailed around.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "link/platform.h"

// Written by the command's thread (requests) and the assembler thread
// (replies); the lock keeps each line whole.
struct TraceFile {
    FILE* out = nullptr;   // set before the link's session starts, then only read
    bool showPasswords = false;
    Lock lock;
};

// Fails with the system's reason when the file cannot be created (or the
// lock made); without a call nothing is traced.
Result OpenTrace(TraceFile& trace, const std::string& path, bool showPasswords);
void CloseTrace(TraceFile& trace);

// No allocation: the assembler thread calls these.
void TraceFrame(TraceFile& trace, const char* tag, const uint8_t* frame, uint32_t total);
void TraceNote(TraceFile& trace, const char* text);
