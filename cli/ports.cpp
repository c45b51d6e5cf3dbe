#include "cli/ports.h"

const char* OpenFailureWord(Status status)
{
    switch (status) {
    case Status::Ok: return "opened";
    case Status::Missing: return "missing";
    case Status::Busy: return "busy";
    case Status::AccessDenied: return "access denied";
    case Status::Removed: return "removed";
    default: return "failed";
    }
}

std::string ResultText(const Result& result)
{
    const std::string what = result.what[0] != '\0' ? result.what : "failed";
    return result.osError == 0 ? what : what + ": " + SystemErrorText(result.osError);
}

std::string OpenFailureText(const Result& result)
{
    const std::string word = OpenFailureWord(result.status);
    return result.osError == 0 ? word : word + ": " + SystemErrorText(result.osError);
}

std::string IdentityText(const PortIdentity& id)
{
    std::string text = id.description;
    auto add = [&](const std::string& part) { text += (text.empty() ? "" : "  ") + part; };
    if (id.vid[0] != '\0')
        add(std::string(id.vid) + ":" + id.pid);
    if (id.serial[0] != '\0')
        add(std::string("serial=") + id.serial);
    if (id.location[0] != '\0')
        add(std::string("location=") + id.location);
    return text;
}
