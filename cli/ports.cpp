#include "cli/ports.h"

#include <memory>

std::vector<ListedPort> PresentPorts(Result* reading)
{
    // Too large for a worker's stack: read once, on the heap.
    auto list = std::make_unique<SerialPortList>();
    ListPorts(*list);
    if (reading != nullptr)
        *reading = list->reading;
    return std::vector<ListedPort>(list->ports.begin(), list->ports.begin() + list->count);
}

nlohmann::json IdentityJson(const PortIdentity& id)
{
    auto text = [](const char* t) { return t[0] != '\0' ? nlohmann::json(t) : nlohmann::json(); };
    const char* transport = TransportWord(id.transport);
    return {{"description", text(id.description)}, {"manufacturer", text(id.manufacturer)},
            {"transport", transport != nullptr ? nlohmann::json(transport) : nlohmann::json()},
            {"vid", text(id.vid)}, {"pid", text(id.pid)}, {"serial", text(id.serial)},
            {"location", text(id.location)}};
}

std::string AdapterText(const PortIdentity& id)
{
    char text[4 * IdentityTextSize + 32];
    IdentityText(id, IdentityDetail::Adapter, text, sizeof text);
    return text;
}
