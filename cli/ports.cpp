#include "cli/ports.h"

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

