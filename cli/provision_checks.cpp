#include "cli/provision_checks.h"

#include <cctype>
#include <functional>

#include "cli/address_rules.h"
#include "cli/port_selector.h"

namespace {

// One spelling per port: an alias (/dev/serial/by-id/...) is its port, and
// a Windows name is compared as the system does, whatever its case and
// with or without its device prefix.
std::string PortKey(const std::string& port, const std::vector<ListedPort>& present)
{
    for (const ListedPort& e : present)
        if (e.alias[0] != '\0' && port == e.alias)
            return e.name;
    if (port.find('/') != std::string::npos)
        return port;
    std::string key = port.rfind("\\\\.\\", 0) == 0 ? port.substr(4) : port;
    for (char& c : key)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

// Refuses both rows of every pair `same` holds equal, among rows not yet
// refused.
void RefusePairs(std::vector<ProvisionRow>& rows, const std::function<bool(size_t, size_t)>& same,
                 const std::function<std::string(const ProvisionRow&)>& what)
{
    std::vector<std::string> found(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        for (size_t k = 0; k < rows.size(); ++k)
            if (k != i && rows[i].error.empty() && rows[k].error.empty() && same(i, k) && found[i].empty())
                found[i] = what(rows[i]) + " also on line " + std::to_string(rows[k].line);
    for (size_t i = 0; i < rows.size(); ++i)
        if (!found[i].empty()) {
            rows[i].error = found[i];
            rows[i].errorCode = ExitUsage;
        }
}

}  // namespace

void ResolveRows(std::vector<ProvisionRow>& rows, const std::vector<ListedPort>& present)
{
    for (ProvisionRow& row : rows) {
        if (!row.error.empty() || !IsAdapterSelector(row.port))
            continue;
        const PortChoice choice = ChoosePort(row.port, present);
        if (choice.code != ExitDone) {
            row.error = "field port: " + choice.problem;
            row.errorCode = choice.code;
            continue;
        }
        row.selector = row.port;
        row.port = choice.port;
    }
}

void RefuseUnusableAddresses(std::vector<ProvisionRow>& rows, bool remoteGateway)
{
    for (ProvisionRow& row : rows) {
        if (!row.error.empty() || row.network.dhcp)
            continue;
        const AddressProblem problem = CheckStaticAddresses(row.network, remoteGateway);
        if (problem.field != nullptr)
            row.error = std::string("field ") + problem.field + ": " + problem.rule;
    }
}

void RefuseSharedPortsAndAddresses(std::vector<ProvisionRow>& rows, const std::vector<ListedPort>& present)
{
    std::vector<std::string> keys;
    for (const ProvisionRow& row : rows)
        keys.push_back(PortKey(row.port, present));
    RefusePairs(
        rows, [&](size_t i, size_t k) { return keys[i] == keys[k]; },
        [](const ProvisionRow& r) { return "field port: " + PortAndSelector(r.port, r.selector); });
    RefusePairs(
        rows,
        [&](size_t i, size_t k) {
            return !rows[i].network.dhcp && !rows[k].network.dhcp &&
                   rows[i].network.ipAddress == rows[k].network.ipAddress;
        },
        [](const ProvisionRow& r) { return "field ip: " + DottedText(r.network.ipAddress); });
}
