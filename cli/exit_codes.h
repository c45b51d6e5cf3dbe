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
    ExitInternal = 70,      // a fault of this program (as sysexits' EX_SOFTWARE)
    ExitInterrupted = 130,  // Ctrl+C, as a shell counts SIGINT
};

struct ExitCodeEntry {
    ExitCode code;
    const char* word;      // the JSON "result"
    const char* meaning;   // --help and the README
};

constexpr ExitCodeEntry ExitCodes[] = {
    {ExitDone, "ok", "done"},
    {ExitRefused, "refused", "the device refused (non-zero status) or verification failed"},
    {ExitUsage, "bad_input", "bad usage or bad input; nothing was sent"},
    {ExitNoAnswer, "no_answer", "no answer within the timeout"},
    {ExitPort, "port_error",
     "the port cannot be opened, its line settings or a write were refused; the message gives the "
     "system's reason (missing, busy, access denied, ...)"},
    {ExitInternal, "internal_error",
     "an internal fault (a thread, lock or wake-up the system would not give, a session left open at "
     "the end); please report it"},
    {ExitInterrupted, "interrupted",
     "Ctrl+C (provision, ports --probe): every port was closed, and what finished is reported"},
};

// The "result" word of a JSON document for an exit code.
constexpr const char* ResultWord(int code)
{
    for (const ExitCodeEntry& e : ExitCodes)
        if (e.code == code)
            return e.word;
    return "failed";
}
