// The audit log's Windows edge: a handle opened with FILE_APPEND_DATA (and
// no FILE_WRITE_DATA) puts each write at the end, LockFileEx keeps another
// process's line out of the middle of ours, FlushFileBuffers puts it on the
// disk. The file is shared for reading and writing, so another station's
// run may append too.
#include "cli/audit_log.h"

#include <windows.h>

#include "cli/text.h"

namespace {

HANDLE AsHandle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }

std::string Utf8(const wchar_t* wide)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 1 ? static_cast<size_t>(n - 1) : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, &out[0], n, nullptr, nullptr);
    return out;
}

Result SystemCallFailed(const char* what) { return Failure(Status::Failed, what, static_cast<int32_t>(GetLastError())); }

}  // namespace

namespace audit_os {

const char LineBreak[] = "\r\n";

Result Open(AuditLog& log, const std::string& path)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(n > 0 ? static_cast<size_t>(n) : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, &wide[0], n);
    HANDLE h = CreateFileW(wide.c_str(), FILE_APPEND_DATA | FILE_READ_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return SystemCallFailed("CreateFileW");
    log.file = reinterpret_cast<intptr_t>(h);
    return Success;
}

void Close(AuditLog& log) { CloseHandle(AsHandle(log.file)); }

Result TakeFileLock(AuditLog& log)
{
    OVERLAPPED all{};
    return LockFileEx(AsHandle(log.file), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &all)
               ? Success
               : SystemCallFailed("LockFileEx");
}

void DropFileLock(AuditLog& log)
{
    OVERLAPPED all{};
    UnlockFileEx(AsHandle(log.file), 0, MAXDWORD, MAXDWORD, &all);
}

Result Write(AuditLog& log, const std::string& bytes, size_t& written)
{
    DWORD n = 0;
    if (!WriteFile(AsHandle(log.file), bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr))
        return SystemCallFailed("WriteFile");
    written = n;
    return Success;
}

Result Flush(AuditLog& log)
{
    return FlushFileBuffers(AsHandle(log.file)) ? Success : SystemCallFailed("FlushFileBuffers");
}

// Each read names its offset: the appends keep theirs at the end.
Result ReadAll(AuditLog& log, std::string& text)
{
    char block[65536];
    for (uint64_t at = 0;;) {
        OVERLAPPED from{};
        from.Offset = static_cast<DWORD>(at);
        from.OffsetHigh = static_cast<DWORD>(at >> 32);
        DWORD n = 0;
        if (!ReadFile(AsHandle(log.file), block, sizeof block, &n, &from))
            return GetLastError() == ERROR_HANDLE_EOF ? Success : SystemCallFailed("ReadFile");
        if (n == 0)
            return Success;
        text.append(block, n);
        at += n;
    }
}

}  // namespace audit_os

std::string StationName()
{
    wchar_t name[256] = {};
    DWORD size = 256;
    return GetComputerNameExW(ComputerNameDnsHostname, name, &size) ? Utf8(name) : "";
}

std::string LoginName()
{
    wchar_t name[256] = {};
    DWORD size = 256;
    return GetUserNameW(name, &size) ? Utf8(name) : "";
}
