#include "cli/ports.h"

#include "cli/cli.h"

const char* OpenFailureWord(PortOpenStatus status)
{
    switch (status) {
    case PortOpenStatus::Opened: return "opened";
    case PortOpenStatus::Missing: return "missing";
    case PortOpenStatus::Busy: return "busy";
    case PortOpenStatus::AccessDenied: return "access denied";
    case PortOpenStatus::Failed: break;
    }
    return "failed";
}

std::string OpenFailureText(const PortOpenResult& result)
{
    const std::string word = OpenFailureWord(result.status);
    return result.osError == 0 ? word : word + ": " + SystemErrorText(result.osError);
}

Outcome RunPorts()
{
    Outcome out;
    out.doc["command"] = "ports";
    out.doc["ports"] = nlohmann::json::array();
    for (const PortEntry& e : ListPorts()) {
        nlohmann::json j;
        j["port"] = e.port;
        j["by_id"] = e.alias.empty() ? nlohmann::json() : nlohmann::json(e.alias);
        out.doc["ports"].push_back(j);
        out.text.push_back(e.alias.empty() ? e.port : e.port + "  " + e.alias);
    }
    if (out.text.empty())
        out.text.push_back("no serial ports found");
    return out;
}
