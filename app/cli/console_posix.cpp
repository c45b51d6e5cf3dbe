#include <sys/time.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <ctime>

#include "app/cli/text.h"

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

void WallClock(char* text, size_t capacity)
{
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    std::snprintf(text, capacity, "%02d:%02d:%02d.%03ld", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<long>(now.tv_usec / 1000));
}

std::string SelfPath()
{
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string("quorvane-cli");
}
