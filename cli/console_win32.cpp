#include <windows.h>

#include <io.h>
#include <shellapi.h>

#include "cli/text.h"

namespace {

std::string WideToUtf8(const wchar_t* wide)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, &out[0], n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

HANDLE ConsoleOf(FILE* stream)
{
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) ? h : nullptr;
}

}  // namespace

// argv of main() has gone through the ANSI code page and lost what it
// cannot hold; the wide command line has every character as typed.
std::vector<std::string> CommandLineUtf8(int argc, char** argv)
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i)
        args.push_back(WideToUtf8(wide[i]));
    LocalFree(wide);
    return args;
}

// A console shows wide text in any code page; a file or pipe gets UTF-8.
void PrintText(FILE* stream, const std::string& utf8)
{
    HANDLE console = ConsoleOf(stream);
    if (console == nullptr) {
        std::fwrite(utf8.data(), 1, utf8.size(), stream);
        return;
    }
    std::fflush(stream);
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0)
        return;
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
    DWORD written = 0;
    WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

// Cursor movement needs the console's virtual-terminal mode (Windows 10 and
// later); an older console, or one that refuses it, gets plain lines.
bool IsLiveTerminal(FILE* stream)
{
    HANDLE console = ConsoleOf(stream);
    DWORD mode = 0;
    if (console == nullptr || !GetConsoleMode(console, &mode))
        return false;
    return SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

bool StdinIsTerminal() { return ConsoleOf(stdin) != nullptr; }

// Read as wide text from the console, so any character typed arrives whole,
// whatever the console's code page.
bool ReadHiddenLine(const char* prompt, std::string& utf8)
{
    HANDLE console = ConsoleOf(stdin);
    DWORD mode = 0;
    GetConsoleMode(console, &mode);
    SetConsoleMode(console, (mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT);
    PrintText(stderr, prompt);
    std::wstring line;
    wchar_t c = 0;
    DWORD n = 0;
    bool any = false;
    while (ReadConsoleW(console, &c, 1, &n, nullptr) && n == 1 && c != L'\n') {
        any = true;
        if (c != L'\r')
            line += c;
    }
    SetConsoleMode(console, mode);
    PrintText(stderr, "\n");
    if (!any && line.empty() && n == 0)
        return false;
    utf8 = WideToUtf8(line.c_str());
    return true;
}

