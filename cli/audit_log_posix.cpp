// The audit log's POSIX edge: O_APPEND places each write at the end, flock
// keeps another process's line out of the middle of ours, fdatasync puts it
// on the disk.
#include "cli/audit_log.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace {

int Fd(const AuditLog& log) { return static_cast<int>(log.file); }

}  // namespace

namespace audit_os {

const char LineBreak[] = "\n";

Result Open(AuditLog& log, const std::string& path)
{
    const int fd = open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return Failure(Status::Failed, "open", errno);
    log.file = fd;
    return Success;
}

void Close(AuditLog& log) { close(Fd(log)); }

Result TakeFileLock(AuditLog& log)
{
    return flock(Fd(log), LOCK_EX) == 0 ? Success : Failure(Status::Failed, "flock", errno);
}

void DropFileLock(AuditLog& log) { flock(Fd(log), LOCK_UN); }

Result Write(AuditLog& log, const std::string& bytes, size_t& written)
{
    const ssize_t n = write(Fd(log), bytes.data(), bytes.size());
    if (n < 0)
        return Failure(Status::Failed, "write", errno);
    written = static_cast<size_t>(n);
    return Success;
}

Result Flush(AuditLog& log)
{
    return fdatasync(Fd(log)) == 0 ? Success : Failure(Status::Failed, "fdatasync", errno);
}

// pread: the descriptor's offset is left to O_APPEND's writes.
Result ReadAll(AuditLog& log, std::string& text)
{
    char block[65536];
    for (off_t at = 0;;) {
        const ssize_t n = pread(Fd(log), block, sizeof block, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Failure(Status::Failed, "pread", errno);
        if (n == 0)
            return Success;
        text.append(block, static_cast<size_t>(n));
        at += n;
    }
}

}  // namespace audit_os

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
