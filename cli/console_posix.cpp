#include <sys/time.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <ctime>

#include "cli/text.h"

std::vector<std::string> CommandLineUtf8(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

void PrintText(FILE* stream, const std::string& utf8)
{
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
}

bool IsLiveTerminal(FILE* stream)
{
    const char* term = std::getenv("TERM");
    return isatty(fileno(stream)) && term != nullptr && std::string(term) != "dumb";
}

std::string SelfPath()
{
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string("quorvane-cli");
}
