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

inline std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

inline DWORD MsSince(DWORD start)
{
    return GetTickCount() - start;
}

class ComPeer {
public:
    ComPeer() = default;
    ComPeer(const ComPeer&) = delete;
    ComPeer& operator=(const ComPeer&) = delete;

    bool Open(const std::string& path)
    {
        handle_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE)
            return false;
        COMMTIMEOUTS t{MAXDWORD, 0, 0, 0, 0};
        SetCommTimeouts(handle_, &t);
        event_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        return event_ != nullptr;
    }

    ~ComPeer()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        if (event_)
            CloseHandle(event_);
    }

    // Reads until `want` bytes have come or `ms` have passed.
    std::vector<uint8_t> Read(size_t want, DWORD ms)
    {
        std::vector<uint8_t> got;
        const DWORD start = GetTickCount();
        while (got.size() < want && MsSince(start) < ms) {
            uint8_t chunk[4096];
            OVERLAPPED ov{};
            ov.hEvent = event_;
            DWORD n = 0;
            if (!ReadFile(handle_, chunk, sizeof chunk, &n, &ov)) {
                if (GetLastError() != ERROR_IO_PENDING)
                    break;
                const DWORD left = ms - MsSince(start);
                if (WaitForSingleObject(event_, left > ms ? 0 : left) != WAIT_OBJECT_0)
                    CancelIoEx(handle_, &ov);
                GetOverlappedResult(handle_, &ov, &n, TRUE);
            }
            got.insert(got.end(), chunk, chunk + n);
            if (n == 0)
                Sleep(5);
        }
        return got;
    }

    bool Write(const std::vector<uint8_t>& bytes)
    {
        OVERLAPPED ov{};
        ov.hEvent = event_;
        DWORD n = 0;
        if (!WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &n, &ov)) {
            if (GetLastError() != ERROR_IO_PENDING)
                return false;
            if (WaitForSingleObject(event_, 3000) != WAIT_OBJECT_0)
                CancelIoEx(handle_, &ov);
            GetOverlappedResult(handle_, &ov, &n, TRUE);
        }
        return n == bytes.size();
    }

    HANDLE handle() const { return handle_; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    HANDLE event_ = nullptr;
};
