// provision --log FILE: the production record, one JSON object per line, a
// line for every row as it ends. The file is opened for appending and never
// truncated; each line goes out in one write, under an exclusive lock of the
// file, and is on the disk before the row is reported as done, so a Ctrl+C,
// a crash or a power cut keeps every finished row, and two stations or two
// runs appending to one file never interleave parts of lines.
//
// The skeleton (audit_log.cpp) is written once; the OS edge below it
// (audit_log_posix.cpp, audit_log_win32.cpp) opens, locks, reads, writes
// and flushes the file.
//
// Threads: any worker may append or consult; `threads` keeps one thread of
// this process at a time inside the file's lock (a POSIX flock does not
// tell two threads of one process apart), the file's lock keeps other
// processes and stations out.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "link/platform.h"
#include "wire/result.h"

struct AuditLog {
    intptr_t file = -1;   // a POSIX descriptor or a Win32 HANDLE; -1 while none is open
    Lock threads;
};

// Opens (or creates) `path` for appending and reading; fails with the
// system's reason.
Result OpenAuditLog(AuditLog& log, const std::string& path);
void CloseAuditLog(AuditLog& log);
bool AuditLogIsOpen(const AuditLog& log);

// Appends `line` and a line break in one write, then flushes it to the disk.
Result AppendAuditLine(AuditLog& log, const std::string& line);

// Reads the whole log under the lock the appends take and hands it to
// `decide`; a line `decide` returns is appended (and flushed) before the
// lock is let go, so that two stations deciding on one thing at once see
// each other's line. Keep `decide` short: every station waits on it.
Result ConsultAuditLog(AuditLog& log, const std::function<std::string(const std::string& text)>& decide);

// What each line says of where it was written: the station (this machine's
// host name) and the login name (the operator, unless --operator says).
std::string StationName();
std::string LoginName();

// "2026-12-08T09:22:06.123Z": now, UTC, to the millisecond, from the
// platform's wall clock.
std::string UtcTimestamp();
// The same for any moment in milliseconds since 1970.
std::string UtcTimestampOf(int64_t milliseconds);

// The OS edge, for audit_log.cpp only.
namespace audit_os {
extern const char LineBreak[];   // "\n", or "\r\n" on Windows
Result Open(AuditLog& log, const std::string& path);
void Close(AuditLog& log);
Result TakeFileLock(AuditLog& log);
void DropFileLock(AuditLog& log);
// Appends `bytes` at the end of the file; `written` gets what the disk took.
Result Write(AuditLog& log, const std::string& bytes, size_t& written);
Result Flush(AuditLog& log);
Result ReadAll(AuditLog& log, std::string& text);
}  // namespace audit_os
