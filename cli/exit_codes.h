// quorvane-cli's exit codes: the one table behind the enum, the "result"
// word of every JSON document and report, and the list in --help. The
// README's table is held equal to --help by the CLI test.
#pragma once

#include <cstddef>

enum ExitCode : int {
    ExitDone = 0,
    ExitRefused = 1,        // the device refused (non-zero status) or verification failed
    ExitUsage = 2,          // bad usage or bad input; nothing was sent
    ExitNoAnswer = 3,       // no answer within the timeout
    ExitPort = 4,           // the port cannot be opened, its line settings or a write were refused
    ExitConflict = 5,       // the log gives the IP to another unit; nothing was written to this one
    ExitLogFailed = 6,      // the log could not be written; this unit was not changed
    ExitNotRecorded = 7,    // the unit was changed but its line could not be written to the log
    ExitInternal = 70,      // a fault of this program (as sysexits' EX_SOFTWARE)
    ExitInterrupted = 130,  // Ctrl+C, as a shell counts SIGINT
};

// A row whose unit already held what it asks: nothing was written, and it
// counts as done.
constexpr char UnchangedWord[] = "unchanged";

struct ExitCodeEntry {
    ExitCode code;
    const char* word;      // the JSON "result"
    const char* meaning;   // --help and the README
};

constexpr ExitCodeEntry ExitCodes[] = {
    {ExitDone, "ok", "done"},
    {ExitDone, UnchangedWord, "unchanged (provision): the unit already held the asked settings and password, and "
                              "nothing was written; it counts as done (--force writes anyway)"},
    {ExitRefused, "refused", "the device refused (non-zero status) or verification failed"},
    {ExitUsage, "bad_input", "bad usage or bad input; nothing was sent"},
    {ExitNoAnswer, "no_answer", "no answer within the timeout"},
    {ExitPort, "port_error",
     "the port cannot be opened, its line settings or a write were refused; the message gives the "
     "system's reason (missing, busy, access denied, ...)"},
    {ExitConflict, "conflict",
     "conflict (provision --log): the log gives the IP to a unit with another MAC, or this unit's MAC could not be read to show it owns "
     "the IP; nothing was written to the unit (--reassign gives it anyway)"},
    {ExitLogFailed, "log_failed",
     "log_failed (provision --log): the log could not be written (the message gives the system's reason); the unit was not changed, and "
     "no further row was started"},
    {ExitNotRecorded, "not_recorded",
     "not_recorded (provision --log): the unit was changed but its line could not be written to the log (the message gives the system's "
     "reason); no further row was started"},
    {ExitInternal, "internal_error",
     "an internal fault (a thread, lock or wake-up the system would not give, a session left open at "
     "the end); please report it"},
    {ExitInterrupted, "interrupted",
     "Ctrl+C (provision, ports --probe): every port was closed, and what finished is reported"},
};

// The "result" word of a JSON document for an exit code (the first entry's).
constexpr const char* ResultWord(int code)
{
    for (const ExitCodeEntry& e : ExitCodes)
        if (e.code == code)
            return e.word;
    return "failed";
}
