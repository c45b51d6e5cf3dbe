// --trace FILE: every frame sent and received, decoded by the same decoder
// as the virtual device's trace, one line each:
//   HH:MM:SS.mmm  TX   01 GetNetConfig
//   HH:MM:SS.mmm  RX   02 GetNetConfig reply      ok  dhcp off  ip ...
//   HH:MM:SS.mmm  RX!  bad checksum on code 06 (...), dropped: ...
// Password texts are masked unless asked for: trace files get mailed around.
#pragma once

#include <cstdint>
#include <string>

// False when the file cannot be created; without a call nothing is traced.
bool OpenTrace(const std::string& path, bool showPasswords);
void CloseTrace();

// Main thread (requests) and assembler thread (replies); no allocation.
void TraceFrame(const char* tag, const uint8_t* frame, uint32_t total);
void TraceNote(const char* text);
