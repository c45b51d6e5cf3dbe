// provision --log FILE: the production record, one JSON object per line, a
// line for every row as it ends. The file is opened for appending and never
// truncated; each line goes out in one write, under an exclusive lock of the
// file, and is on the disk before the row is reported as done, so a Ctrl+C,
// a crash or a power cut keeps every finished row, and two stations or two
// runs appending to one file never interleave parts of lines.
//
// Threads: any worker may append; the lock of the file keeps lines whole
// between processes, and one write per line between the threads of one.
#pragma once

#include <cstdint>
#include <string>

#include "wire/result.h"

struct AuditLog {
    intptr_t file = -1;   // a POSIX descriptor or a Win32 HANDLE; -1 while none is open
};

// Opens (or creates) `path` for appending; fails with the system's reason.
Result OpenAuditLog(AuditLog& log, const std::string& path);
void CloseAuditLog(AuditLog& log);

// Appends `line` and a line break in one write, then flushes it to the disk.
Result AppendAuditLine(AuditLog& log, const std::string& line);

// What each line says of where it was written: the station (this machine's
// host name) and the login name (the operator, unless --operator says).
std::string StationName();
std::string LoginName();

// "2026-12-08T09:22:06.123Z": now, UTC, to the millisecond.
std::string UtcTimestamp();
