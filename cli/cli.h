// quorvane-cli: what the commands share. Each command returns an Outcome; the
// main program prints it as text or as one JSON document and exits with its
// code.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/text.h"
#include "wire/codes.h"

constexpr int DefaultTimeoutMs = 3000;
// A ping answers once a second; a quiet period twice that long ends the
// output of a command without cutting a ping short.
constexpr int DefaultQuietMs = 2000;
// provision works all rows at once up to DefaultJobs unless told otherwise;
// every port is a session with two threads of its own.
constexpr int DefaultJobs = 32;   // at most MaxJobs (worker_pool.h)

struct CliOptions {
    std::string port;         // the port a command works on, resolved
    std::string selector;     // how it was named, when by its adapter (serial=..., location=...)
    bool json = false;
    int timeoutMs = DefaultTimeoutMs;
    int quietMs = DefaultQuietMs;
    std::string traceFile;
    bool showPassword = false;
};

// What the device steps learn of a unit, typed. A single command's JSON is
// made from it once the device is done with (WithDevice); provision keeps it
// in its row's outcome for the report, the log line and the table.
struct DeviceFacts {
    bool readBackTaken = false;
    NetConfig readBack{};              // the settings read back after a change
    enum class Password { NotRead, Verified, Differs } password = Password::NotRead;
    bool macAsked = false;
    std::string mac;                   // "00:1C:27:5A:01:0A"; empty when not read
    std::string macNote;               // why a unit that answered shows no MAC
    const char* verdict = nullptr;     // "verify_failed", where the exit code's word says too little
    const char* portProblem = nullptr; // why the port did not open, in one word ("busy")
    int refusalStatus = -1;            // the status byte of the device's refusal
    bool wrote = false;                // a change went out: the unit may no longer be as it was
};

struct Outcome {
    int code = ExitDone;
    std::string message;           // the error, for people; empty when done
    nlohmann::json doc;            // the command's fields (--json)
    std::vector<std::string> text; // the lines printed without --json
    DeviceFacts device;            // what the device steps learnt
};

// Sets code, message and the document's "result" and "error" together.
Outcome& SetFailure(Outcome& out, int code, const std::string& message);

// ports: the list; with `probe` each port opened and asked, all at once.
// `named` (-p) narrows both to those ports; `excluded` leaves ports out of
// the probe.
// Selectors among `named` and `excluded` are resolved among the ports present.
Outcome RunPorts(const CliOptions& o, bool probe, const std::vector<std::string>& named,
                 const std::vector<std::string>& excluded);
Outcome RunShow(const CliOptions& o);
Outcome RunSet(const CliOptions& o, const NetConfig& request);
Outcome RunPasswd(const CliOptions& o, const std::string& gbkPassword);
// Prints the output lines itself as they arrive (without --json).
Outcome RunExec(const CliOptions& o, const std::string& gbkCommand);
// Runs until Ctrl-C; prints each change itself.
Outcome RunWatch(const CliOptions& o);
struct ProvisionOptions {
    std::string sheet;          // the CSV file
    int jobs = 0;               // 0: all rows, at most DefaultJobs
    std::string report;         // --report FILE, or none
    std::string log;            // --log FILE, or none
    std::string operatorName;   // --operator, else the login name
    std::string version;        // this program's, for the log
    TextEncoding encoding = TextEncoding::Guess;
    bool mac = true;            // ask each unit for its MAC before anything is written (--no-mac: not)
    bool reassign = false;      // give an address the log gives to another unit (--reassign)
    bool force = false;         // write even to a unit that holds the asked settings (--force)
    bool remoteGateway = false; // accept a gateway outside the IP's subnet (--allow-remote-gateway)
};
Outcome RunProvision(const CliOptions& o, const ProvisionOptions& p);
