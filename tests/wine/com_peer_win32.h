// The far end of a COM port in the Wine tests: the test plays the device on
// it with plain overlapped Win32 calls. Every operation has its own limit, so
// it works whether reads return at once (Windows) or stay pending until bytes
// arrive (Wine over a pty, where only CancelIoEx ends them).
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

inline std::string Env(const char* name) { return std::getenv(name) ? std::getenv(name) : ""; }
inline DWORD MsSince(DWORD start) { return GetTickCount() - start; }

class ComPeer {
public:
    ComPeer() = default;
    ComPeer(const ComPeer&) = delete;
    ComPeer& operator=(const ComPeer&) = delete;
    ~ComPeer()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        if (event_)
            CloseHandle(event_);
    }

    bool Open(const std::string& path)
    {
        handle_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
        COMMTIMEOUTS t{MAXDWORD, 0, 0, 0, 0};
        event_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        return handle_ != INVALID_HANDLE_VALUE && SetCommTimeouts(handle_, &t) && event_ != nullptr;
    }

    // Reads until `want` bytes have come or `ms` have passed.
    std::vector<uint8_t> Read(size_t want, DWORD ms)
    {
        std::vector<uint8_t> got;
        for (const DWORD start = GetTickCount(); got.size() < want && MsSince(start) < ms;) {
            uint8_t chunk[4096];
            DWORD n = 0;
            if (!Finish(ReadFile(handle_, chunk, sizeof chunk, &n, Overlapped()), ms - MsSince(start), &n))
                break;
            got.insert(got.end(), chunk, chunk + n);
            if (n == 0)
                Sleep(5);
        }
        return got;
    }

    bool Write(const std::vector<uint8_t>& bytes)
    {
        DWORD n = 0;
        return Finish(WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &n, Overlapped()), 3000, &n) &&
               n == bytes.size();
    }

    HANDLE handle() const { return handle_; }

private:
    OVERLAPPED* Overlapped()
    {
        ov_ = OVERLAPPED{};
        ov_.hEvent = event_;
        return &ov_;
    }

    // Waits at most `ms` for an overlapped operation, cancelling it then.
    bool Finish(BOOL done, DWORD ms, DWORD* n)
    {
        if (done)
            return true;
        if (GetLastError() != ERROR_IO_PENDING)
            return false;
        if (WaitForSingleObject(event_, ms > 60000 ? 0 : ms) != WAIT_OBJECT_0)
            CancelIoEx(handle_, &ov_);
        GetOverlappedResult(handle_, &ov_, n, TRUE);
        return true;
    }

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    HANDLE event_ = nullptr;
    OVERLAPPED ov_{};
};
