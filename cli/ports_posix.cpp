#include <dirent.h>
#include <glob.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>

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

// Where the system describes its devices; the port list never opens a port
// to learn about it.
constexpr char SysfsRoot[] = "/sys";

// A ttyS node exists for every UART slot the kernel reserved; sysfs gives a
// UART type other than 0 (PORT_UNKNOWN) only to one with hardware behind it.
bool HasUart(const std::string& path)
{
    const std::string name = path.substr(path.rfind('/') + 1);
    std::ifstream type(std::string(SysfsRoot) + "/class/tty/" + name + "/type");
    int uart = 0;
    return static_cast<bool>(type >> uart) && uart != 0;
}

PortEntry Entry(const std::string& path)
{
    PortEntry e{path, "", false, ReadTtyIdentity(SysfsRoot, path.substr(path.rfind('/') + 1).c_str())};
    e.bluetooth = e.identity.transport == Transport::Bluetooth;
    return e;
}

std::string RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

}  // namespace

std::vector<PortEntry> ListPorts(Result* reading)
{
    if (reading != nullptr)
        *reading = Success;
    std::vector<PortEntry> ports;
    for (const std::string& p : Glob("/dev/ttyS*"))
        if (HasUart(p))
            ports.push_back(Entry(p));
    for (const char* pattern : {"/dev/ttyUSB*", "/dev/ttyACM*"})
        for (const std::string& p : Glob(pattern))
            ports.push_back(Entry(p));
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
