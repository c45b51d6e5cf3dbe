// The audit log's skeleton: the order of lock, write, flush and unlock, the
// same on every OS.
#include "cli/audit_log.h"

#include <cstdio>

namespace {

// Appends under the locks already taken.
Result AppendLocked(AuditLog& log, const std::string& line)
{
    const std::string whole = line + audit_os::LineBreak;
    size_t written = 0;
    const Result wrote = audit_os::Write(log, whole, written);
    if (!Succeeded(wrote))
        return wrote;
    if (written != whole.size())
        return Failure(Status::Failed, "write: the disk took only part of the line");
    return audit_os::Flush(log);
}

// Days since 1970-01-01 to a civil date (the proleptic Gregorian calendar
// of UTC), so that the stamp needs no gmtime of either OS.
void CivilDate(int64_t days, int& year, unsigned& month, unsigned& day)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shifted = (5 * dayOfYear + 2) / 153;   // months from March
    day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    month = shifted < 10 ? shifted + 3 : shifted - 9;
    year = static_cast<int>(static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0));
}

// Runs `work` with this process's threads and the other processes kept out.
Result UnderLocks(AuditLog& log, const std::function<Result()>& work)
{
    EnterLock(log.threads);
    Result result = audit_os::TakeFileLock(log);
    if (Succeeded(result)) {
        result = work();
        audit_os::DropFileLock(log);
    }
    LeaveLock(log.threads);
    return result;
}

}  // namespace

Result OpenAuditLog(AuditLog& log, const std::string& path)
{
    const Result made = MakeLock(log.threads);
    if (!Succeeded(made))
        return made;
    const Result opened = audit_os::Open(log, path);
    if (!Succeeded(opened))
        DestroyLock(log.threads);
    return opened;
}

void CloseAuditLog(AuditLog& log)
{
    if (!AuditLogIsOpen(log))
        return;
    audit_os::Close(log);
    log.file = -1;
    DestroyLock(log.threads);
}

bool AuditLogIsOpen(const AuditLog& log) { return log.file != -1; }

Result AppendAuditLine(AuditLog& log, const std::string& line)
{
    return UnderLocks(log, [&]() { return AppendLocked(log, line); });
}

Result ConsultAuditLog(AuditLog& log, const std::function<std::string(const std::string& text)>& decide)
{
    return UnderLocks(log, [&]() {
        std::string text;
        const Result read = audit_os::ReadAll(log, text);
        if (!Succeeded(read))
            return read;
        const std::string line = decide(text);
        return line.empty() ? Success : AppendLocked(log, line);
    });
}

std::string UtcTimestamp() { return UtcTimestampOf(WallClockMilliseconds()); }

std::string UtcTimestampOf(int64_t ms)
{
    const int64_t days = (ms >= 0 ? ms : ms - 86399999) / 86400000;
    const int64_t inDay = ms - days * 86400000;
    int year = 0;
    unsigned month = 0, day = 0;
    CivilDate(days, year, month, day);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", year, month, day,
                  static_cast<int>(inDay / 3600000), static_cast<int>(inDay / 60000 % 60),
                  static_cast<int>(inDay / 1000 % 60), static_cast<int>(inDay % 1000));
    return text;
}
