#include "cli/failure_text.h"

#include "link/system_error.h"

std::string SystemErrorText(int32_t osError)
{
    char text[1024];
    SystemErrorText(osError, text, sizeof text);
    return text;
}

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
