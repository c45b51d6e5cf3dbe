#include <dirent.h>
#include <fcntl.h>
#include <glob.h>
#include <termios.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "cli/ports.h"

namespace {

std::vector<std::string> Glob(const char* pattern)
{
    std::vector<std::string> paths;
    glob_t g{};
    if (glob(pattern, 0, nullptr, &g) == 0) {
        for (size_t i = 0; i < g.gl_pathc; ++i)
            paths.push_back(g.gl_pathv[i]);
    }
    globfree(&g);
    return paths;
}

// A ttyS node exists for every UART slot the kernel reserved; only one with
// hardware behind it gives its line settings.
bool AnswersTermios(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    termios t{};
    const bool ok = tcgetattr(fd, &t) == 0;
    close(fd);
    return ok;
}

std::string RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

}  // namespace

std::vector<PortEntry> ListPorts()
{
    std::vector<PortEntry> ports;
    for (const std::string& p : Glob("/dev/ttyS*"))
        if (AnswersTermios(p))
            ports.push_back({p, "", false});
    for (const char* pattern : {"/dev/ttyUSB*", "/dev/ttyACM*"})
        for (const std::string& p : Glob(pattern))
            ports.push_back({p, "", false});
    for (const std::string& link : Glob("/dev/serial/by-id/*")) {
        const std::string target = RealPath(link);
        for (PortEntry& e : ports)
            if (e.port == target)
                e.alias = link;
    }
    return ports;
}

std::string DevicePathOf(const std::string& port)
{
    return port;
}

std::string SystemErrorText(int32_t osError)
{
    return std::string(std::strerror(osError)) + " (errno " + std::to_string(osError) + ")";
}
