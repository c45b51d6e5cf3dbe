#include "cli/port_selector.h"

#include <cctype>

#include "cli/exit_codes.h"

namespace {

constexpr char SerialKey[] = "serial=";
constexpr char LocationKey[] = "location=";

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Windows upper-cases the serial in its instance ids; Linux gives the
// adapter's own: a sheet written on one must still match on the other.
bool SameSerial(const std::string& a, const char* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && b[i] == '\0';
}

bool Matches(const std::string& named, const PortIdentity& id)
{
    if (StartsWith(named, SerialKey))
        return id.serial[0] != '\0' && SameSerial(named.substr(sizeof SerialKey - 1), id.serial);
    return id.location[0] != '\0' && named.substr(sizeof LocationKey - 1) == id.location;
}

// "COM7 (USB Serial Port  0403:6001  serial=A50285BI  location=1-1.2)" for
// each adapter the system describes.
std::string Adapters(const std::vector<ListedPort>& present)
{
    std::string list;
    for (const ListedPort& e : present) {
        if (e.identity.serial[0] == '\0' && e.identity.location[0] == '\0')
            continue;
        list += (list.empty() ? "" : ", ") + std::string(e.name) + " (" + AdapterText(e.identity) + ")";
    }
    return list.empty() ? "none" : list;
}

}  // namespace

bool IsAdapterSelector(const std::string& named)
{
    return StartsWith(named, SerialKey) || StartsWith(named, LocationKey);
}

PortChoice ChoosePort(const std::string& named, const std::vector<ListedPort>& present)
{
    PortChoice choice;
    if (!IsAdapterSelector(named)) {
        choice.port = named;
        return choice;
    }
    std::vector<std::string> candidates;
    for (const ListedPort& e : present)
        if (Matches(named, e.identity))
            candidates.push_back(e.name);
    if (candidates.size() == 1) {
        choice.port = candidates[0];
        return choice;
    }
    if (candidates.empty()) {
        choice.code = ExitPort;
        choice.problem = "no port's adapter matches " + named + "; the adapters present: " + Adapters(present);
        return choice;
    }
    choice.code = ExitUsage;
    choice.problem = named + " matches " + std::to_string(candidates.size()) + " ports:";
    for (const std::string& c : candidates)
        choice.problem += " " + c;
    choice.problem += "; name one by its location= or its port";
    return choice;
}

std::string PortAndSelector(const std::string& port, const std::string& named)
{
    return IsAdapterSelector(named) ? port + " (" + named + ")" : port;
}
