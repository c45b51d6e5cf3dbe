// The audit log on POSIX: O_APPEND places each write at the end, flock keeps
// another process's line out of the middle of ours, fdatasync puts it on
// the disk.
#include "cli/audit_log.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "link/platform.h"

Result OpenAuditLog(AuditLog& log, const std::string& path)
{
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return Failure(Status::Failed, "open", errno);
    log.file = fd;
    return Success;
}

void CloseAuditLog(AuditLog& log)
{
    if (log.file >= 0)
        close(static_cast<int>(log.file));
    log.file = -1;
}

Result AppendAuditLine(AuditLog& log, const std::string& line)
{
    const int fd = static_cast<int>(log.file);
    const std::string whole = line + "\n";
    if (flock(fd, LOCK_EX) != 0)
        return Failure(Status::Failed, "flock", errno);
    const ssize_t n = write(fd, whole.data(), whole.size());
    const int error = errno;
    Result result = Success;
    if (n < 0)
        result = Failure(Status::Failed, "write", error);
    else if (static_cast<size_t>(n) != whole.size())
        result = Failure(Status::Failed, "write: the disk took only part of the line");
    else if (fdatasync(fd) != 0)
        result = Failure(Status::Failed, "fdatasync", errno);
    flock(fd, LOCK_UN);
    return result;
}

std::string StationName()
{
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 ? name : "";
}

std::string LoginName()
{
    const passwd* user = getpwuid(geteuid());
    return user != nullptr && user->pw_name != nullptr ? user->pw_name : "";
}

std::string UtcTimestamp()
{
    const int64_t ms = WallClockMilliseconds();
    const time_t seconds = static_cast<time_t>(ms / 1000);
    tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(ms % 1000));
    return text;
}
