#include "cli/address_history.h"

#include <nlohmann/json.hpp>

#include <sstream>

namespace {

// One record that gives an address to a unit.
struct Holding {
    std::string ip, mac, time;
};

std::string Text(const nlohmann::json& j, const char* key)
{
    const auto at = j.find(key);
    return at != j.end() && at->is_string() ? at->get<std::string>() : "";
}

// The holding a line records, if any: a claim, or a row that ended with
// its static settings in place.
bool HoldingOf(const std::string& line, Holding& h)
{
    const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
    if (!j.is_object())
        return false;
    h.mac = Text(j, "mac");
    h.time = Text(j, "time");
    if (j.contains("claimed_ip")) {
        h.ip = Text(j, "claimed_ip");
        return !h.ip.empty();
    }
    const std::string result = Text(j, "result");
    const auto set = j.find("set");
    if ((result != "ok" && result != "unchanged") || set == j.end() || !set->is_object() ||
        set->value("dhcp", true))
        return false;
    h.ip = Text(*set, "ip");
    return !h.ip.empty();
}

}  // namespace

AddressVerdict JudgeAddress(const std::string& logText, const std::string& ip, const std::string& mac)
{
    AddressVerdict v;
    std::istringstream lines(logText);
    Holding h;
    for (std::string line; std::getline(lines, line);) {
        if (!HoldingOf(line, h))
            continue;
        if (h.ip == ip) {
            v.owned = true;
            v.ownerMac = h.mac;
            v.ownerTime = h.time;
        }
        if (!mac.empty() && h.mac == mac)
            v.previousIp = h.ip != ip ? h.ip : "";
    }
    return v;
}

bool MayTake(const AddressVerdict& verdict, const std::string& mac)
{
    return !verdict.owned || (!mac.empty() && verdict.ownerMac == mac);
}
