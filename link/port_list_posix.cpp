// The port list on Linux: serial devices found by their names under /dev,
// each described by sysfs. Only names, links and attribute files are read;
// no tty is opened.
#include "link/port_list_posix.h"

#include <glob.h>
#include <limits.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "link/port_identity_posix.h"

namespace {

// A ttyS node exists for every UART slot the kernel reserved; sysfs gives a
// UART type other than 0 (PORT_UNKNOWN) only to one with hardware behind it.
bool HasUart(const TtyRoots& roots, const char* ttyName)
{
    std::ifstream type(std::string(roots.sysfs) + "/class/tty/" + ttyName + "/type");
    int uart = 0;
    return static_cast<bool>(type >> uart) && uart != 0;
}

// Each path `pattern` matches under the dev root, in glob's sorted order.
template <typename Each>
void ForEachMatch(const TtyRoots& roots, const char* pattern, Each each)
{
    const std::string full = std::string(roots.dev) + "/" + pattern;
    glob_t g{};
    if (glob(full.c_str(), 0, nullptr, &g) == 0)
        for (size_t i = 0; i < g.gl_pathc; ++i)
            each(g.gl_pathv[i]);
    globfree(&g);
}

void AddTty(SerialPortList& out, const TtyRoots& roots, const char* path)
{
    ListedPort* port = AddListedPort(out, path);
    if (port == nullptr)
        return;
    port->identity = ReadTtyIdentity(roots.sysfs, std::strrchr(path, '/') + 1);
    port->bluetooth = port->identity.transport == Transport::Bluetooth;
}

// Each /dev/serial/by-id link names the port it leads to.
void AddAliases(SerialPortList& out, const TtyRoots& roots)
{
    ForEachMatch(roots, "serial/by-id/*", [&](const char* link) {
        char target[PATH_MAX];
        if (realpath(link, target) == nullptr || std::strlen(link) >= PortPathSize)
            return;
        for (uint32_t i = 0; i < out.count; ++i)
            if (std::strcmp(out.ports[i].name, target) == 0)
                std::snprintf(out.ports[i].alias, PortPathSize, "%s", link);
    });
}

}  // namespace

void ListTtyPorts(SerialPortList& out, const TtyRoots& roots)
{
    out.count = 0;
    out.reading = Success;
    ForEachMatch(roots, "ttyS*", [&](const char* path) {
        if (HasUart(roots, std::strrchr(path, '/') + 1))
            AddTty(out, roots, path);
    });
    for (const char* pattern : {"ttyUSB*", "ttyACM*"})
        ForEachMatch(roots, pattern, [&](const char* path) { AddTty(out, roots, path); });
    AddAliases(out, roots);
}

void ListPorts(SerialPortList& out)
{
    ListTtyPorts(out, TtyRoots{"/dev", "/sys"});
}
