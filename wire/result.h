// What every operation that can fail reports, in every layer: whether it
// worked, which step failed, and the operating system's own error for that
// step, so that a message to the technician can name the system's reason.
// Plain and fixed in size: the receive path may return it.
#pragma once

#include <cstdint>

enum class Status : uint8_t {
    Ok,
    Missing,        // no such port or file (ENOENT, ENODEV, ENXIO; ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND)
    Busy,           // held by another program (EBUSY, a lock held; a COM port's ERROR_ACCESS_DENIED)
    AccessDenied,   // no permission (EACCES, EPERM)
    NotOpen,        // no port open: nothing was done
    TimedOut,       // not finished within its time; what was left is dropped
    TooLong,        // more than the wire or a buffer can carry: nothing was done
    NoText,         // no text at all was given (a null pointer): nothing was done
    BadText,        // a text with a character that GBK, and so the device, cannot carry
    LineRefused,    // the port opened but the system refused its line settings; it stays open
    Removed,        // the open port's adapter went away: a hung-up line whose device node is gone,
                    // ENODEV; ERROR_DEVICE_REMOVED, ERROR_BAD_COMMAND, ... on a handle that worked
    Failed,         // anything else: `what` and `osError` say more
};

struct Result {
    Status status = Status::Ok;
    const char* what = "";   // the step that failed, a static text ("CreateFileA", "the reader thread")
    int32_t osError = 0;     // errno or GetLastError() of that step; 0 when the system gave none
};

constexpr Result Success{};

inline constexpr bool Succeeded(const Result& result) { return result.status == Status::Ok; }

inline constexpr Result Failure(Status status, const char* what, int32_t osError = 0)
{
    return Result{status, what, osError};
}

// The same failure told as a step of the caller's ("the reader thread"
// rather than "CreateThread"); a success stays one.
inline constexpr Result Named(const Result& result, const char* what)
{
    return Succeeded(result) ? result : Result{result.status, what, result.osError};
}
