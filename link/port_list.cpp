// The portable half of the port list: adding a port and the identity's text.
#include "link/port_list.h"

#include <cstdio>
#include <cstring>

namespace {

// Appends "  part" (or "part" first) to `out`; a part that does not fit is
// left out whole rather than cut.
void AddPart(char* out, size_t capacity, const char* part)
{
    const size_t used = std::strlen(out);
    const char* gap = used == 0 ? "" : "  ";
    if (used + std::strlen(gap) + std::strlen(part) < capacity)
        std::snprintf(out + used, capacity - used, "%s%s", gap, part);
}

}  // namespace

void IdentityText(const PortIdentity& id, IdentityDetail detail, char* out, size_t capacity)
{
    CopyIdentityText(id.description, out, capacity);
    if (detail == IdentityDetail::Description)
        return;
    char part[IdentityTextSize + 16];
    if (id.vid[0] != '\0') {
        std::snprintf(part, sizeof part, "%s:%s", id.vid, id.pid);
        AddPart(out, capacity, part);
    }
    if (id.serial[0] != '\0') {
        std::snprintf(part, sizeof part, "serial=%s", id.serial);
        AddPart(out, capacity, part);
    }
    if (id.location[0] != '\0') {
        std::snprintf(part, sizeof part, "location=%s", id.location);
        AddPart(out, capacity, part);
    }
}

ListedPort* AddListedPort(SerialPortList& list, const char* name)
{
    if (list.count >= MaxListedPorts || std::strlen(name) >= PortPathSize) {
        list.reading = Failure(Status::Failed, "more serial ports than the list holds, or a longer name", 0);
        return nullptr;
    }
    ListedPort& port = list.ports[list.count++];
    port = ListedPort{};
    std::memcpy(port.name, name, std::strlen(name) + 1);
    return &port;
}
