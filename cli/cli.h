// quorvane-cli: what the commands share. Each command returns an Outcome; the
// main program prints it as text or as one JSON document and exits with its
// code.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/text.h"

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

struct Outcome {
    int code = ExitDone;
    std::string message;           // the error, for people; empty when done
    nlohmann::json doc;            // the command's fields (--json)
    std::vector<std::string> text; // the lines printed without --json
};

// Sets code, message and the document's "result" and "error" together.
Outcome& SetFailure(Outcome& out, int code, const std::string& message);

// The network settings a set or a provision row asks for.
struct NetworkRequest {
    bool dhcp = false;
    uint32_t ipAddress = 0, subnetMask = 0, gateway = 0;
};

// ports: the list; with `probe` each port opened and asked, all at once.
// `named` (-p) narrows both to those ports; `excluded` leaves ports out of
// the probe.
// Selectors among `named` and `excluded` are resolved among the ports present.
Outcome RunPorts(const CliOptions& o, bool probe, const std::vector<std::string>& named,
                 const std::vector<std::string>& excluded);
Outcome RunShow(const CliOptions& o);
Outcome RunSet(const CliOptions& o, const NetworkRequest& request);
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
    bool mac = true;            // ask each device for its MAC once it is set up (--no-mac: not)
};
Outcome RunProvision(const CliOptions& o, const ProvisionOptions& p);
