// The audit log on Windows: a handle opened with FILE_APPEND_DATA alone puts
// each write at the end, LockFileEx keeps another process's line out of the
// middle of ours, FlushFileBuffers puts it on the disk. The file is shared
// for reading and writing, so another station's run may append too.
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

Result Refused(const char* what) { return Failure(Status::Failed, what, static_cast<int32_t>(GetLastError())); }

}  // namespace

Result OpenAuditLog(AuditLog& log, const std::string& path)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(n > 0 ? static_cast<size_t>(n) : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, &wide[0], n);
    HANDLE h = CreateFileW(wide.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Refused("CreateFileW");
    log.file = reinterpret_cast<intptr_t>(h);
    return Success;
}

void CloseAuditLog(AuditLog& log)
{
    if (log.file != -1)
        CloseHandle(AsHandle(log.file));
    log.file = -1;
}

Result AppendAuditLine(AuditLog& log, const std::string& line)
{
    HANDLE h = AsHandle(log.file);
    const std::string whole = line + "\r\n";
    OVERLAPPED all{};
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &all))
        return Refused("LockFileEx");
    DWORD written = 0;
    Result result = Success;
    if (!WriteFile(h, whole.data(), static_cast<DWORD>(whole.size()), &written, nullptr))
        result = Refused("WriteFile");
    else if (written != whole.size())
        result = Failure(Status::Failed, "WriteFile: the disk took only part of the line");
    else if (!FlushFileBuffers(h))
        result = Refused("FlushFileBuffers");
    UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &all);
    return result;
}

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

std::string UtcTimestamp()
{
    SYSTEMTIME t{};
    GetSystemTime(&t);
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}
