#include <windows.h>

#include "cli/worker_process.h"

namespace {

std::wstring Wide(const std::string& utf8)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &out[0], n);
    out.resize(out.size() - 1);
    return out;
}

// One argument quoted the way CommandLineToArgvW reads it back.
std::wstring Quoted(const std::wstring& arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, L'\\');
    return out + L"\"";
}

}  // namespace

bool StartWorker(const std::vector<std::string>& args, Worker& worker)
{
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, 0))
        return false;
    // Only this worker may inherit the write end, and only for this one
    // CreateProcess (all workers are started from the main thread): a
    // write end left in another worker would keep the pipe from ending.
    SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    std::wstring commandLine;
    for (const std::string& a : args)
        commandLine += (commandLine.empty() ? L"" : L" ") + Quoted(Wide(a));
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    start.hStdOutput = writeEnd;
    start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessW(Wide(args[0]).c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                        0, nullptr, nullptr, &start, &info);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return false;
    }
    CloseHandle(info.hThread);
    worker.process = reinterpret_cast<intptr_t>(info.hProcess);
    worker.output = reinterpret_cast<intptr_t>(readEnd);
    return true;
}

size_t ReadWorkerOutput(Worker& worker, char* buffer, size_t capacity)
{
    DWORD n = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(worker.output), buffer, static_cast<DWORD>(capacity), &n, nullptr))
        return 0;
    return n;
}

int FinishWorker(Worker& worker)
{
    HANDLE process = reinterpret_cast<HANDLE>(worker.process);
    if (worker.output != -1)
        CloseHandle(reinterpret_cast<HANDLE>(worker.output));
    worker.output = -1;
    WaitForSingleObject(process, INFINITE);
    DWORD code = static_cast<DWORD>(-1);
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return static_cast<int>(code);
}
