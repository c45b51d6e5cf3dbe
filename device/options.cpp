// quorvane-device's command line, read by CLI11 as quorvane-cli's is. The
// values land in DeviceOptions, the plain struct the rest of the device reads.
#include "device/options.h"

#include <CLI/CLI.hpp>

#include <vector>

namespace {

constexpr char Footer[] =
    "\nThe frames log has one line per event, flushed at once:\n"
    "  <ms> RX <hex>    a whole frame received (bad checksum included)\n"
    "  <ms> RX? <hex>   bytes that are not a frame\n"
    "  <ms> TX <hex>    a reply as built\n"
    "  <ms> TXC <hex>   the same reply as sent, when its checksum was corrupted\n"
    "  <ms> TXN <hex>   noise bytes sent\n"
    "  <ms> OPEN        a client opened the line (a new pty only)\n"
    "  <ms> CLOSE       a client closed it\n"
    "<ms> counts from the start, or from 1970 with --wall-clock.\n"
    "\nSEC is at most 86400, MS at most 60000, N at most 1000000 (a seed 4294967295),\n"
    "a status 0-255.\n"
    "--status may be repeated and applies in order; a refused change is not applied.\n"
    "\nExit codes: 0 stopped by SIGINT, SIGTERM or SIGHUP, or hung up as asked;\n"
    "1 the line, the frames log or the link could not be made, or the line failed;\n"
    "2 a bad command line.\n";

// A request code or a status byte: 7, 0x07 or 07, never negative.
bool Byte(const std::string& text, unsigned& out)
{
    return !text.empty() && text[0] != '-' && CLI::detail::lexical_cast(text, out) && out <= 255;
}

// --status CODE=N: CODE is a request code or "all", N the status to reply with.
bool ApplyStatus(const std::string& text, AnswerFaults& faults)
{
    const size_t eq = text.find('=');
    unsigned code = 0, status = 0;
    if (eq == std::string::npos || !Byte(text.substr(eq + 1), status))
        return false;
    const std::string name = text.substr(0, eq);
    if (name == "all")
        faults.status.fill(static_cast<int16_t>(status));
    else if (Byte(name, code))
        faults.status[code] = static_cast<int16_t>(status);
    else
        return false;
    return true;
}

// A check with a message of its own and nothing to add to --help.
CLI::Validator Check(bool (*valid)(const std::string&), const std::string& message)
{
    return CLI::Validator(
        [valid, message](std::string& text) { return valid(text) ? std::string() : "\"" + text + "\" " + message; }, "");
}

bool IsAddress(const std::string& text)
{
    uint32_t ignored = 0;
    return ParseDotted(text.c_str(), &ignored);
}

bool IsPassword(const std::string& text) { return text.size() <= MaxPasswordTextBytes; }

bool IsStatus(const std::string& text)
{
    AnswerFaults scratch = NoAnswerFaults();
    return ApplyStatus(text, scratch);
}

// Whole numbers in [low, high]; the footer of --help gives the limits.
CLI::Validator Between(uint32_t low, uint32_t high) { return CLI::Range(low, high).description(""); }

void AddAddress(CLI::App& app, const char* name, uint32_t& target, const char* help)
{
    app.add_option_function<std::string>(name, [&target](const std::string& v) { ParseDotted(v.c_str(), &target); }, help)
        ->type_name("A.B.C.D")
        ->check(Check(IsAddress, "is not an address A.B.C.D (0-255)"));
}

// The line and the device's state: where it serves, what it logs, what it
// answers with.
void AddStateOptions(CLI::App& app, DeviceOptions& o)
{
    app.add_option("--port", o.port, "serve an existing serial device (115200 8N1 raw)")->type_name("PATH");
    app.add_option("--link", o.link, "also create the symlink PATH -> the pty's slave")->type_name("PATH");
    app.add_flag("--line-speed", o.lineSpeed, "send and take bytes at 115200 8N1's pace, 86.8 µs a byte");
    app.add_option_function<std::string>("--dhcp", [&o](const std::string& v) { o.state.dhcp = v == "on"; },
                                         "DHCP (default off)")
        ->type_name("on|off")
        ->check(Check([](const std::string& v) { return v == "on" || v == "off"; }, "is not on or off"));
    AddAddress(app, "--ip", o.state.ipAddress, "IP address (default 192.168.1.10)");
    AddAddress(app, "--mask", o.state.subnetMask, "subnet mask (default 255.255.255.0)");
    AddAddress(app, "--gateway", o.state.gateway, "gateway (default 192.168.1.1)");
    app.add_option_function<std::string>("--password", [&o](const std::string& v) { SetPassword(o.state, v.c_str()); },
                                         "password (default \"admin\"; at most " + std::to_string(MaxPasswordTextBytes) + " bytes)")
        ->type_name("TEXT")
        ->check(Check(IsPassword, "is longer than " + std::to_string(MaxPasswordTextBytes) + " bytes"));
    app.add_option_function<std::string>("--mac", [&o](const std::string& v) { o.macGiven = ParseMac(v.c_str(), o.state.mac); },
                                         "ifconfig's hardware address (default: one of this instance's own)")
        ->type_name("XX:XX:XX:XX:XX:XX")
        ->check(Check([](const std::string& v) { uint8_t mac[6]; return ParseMac(v.c_str(), mac); }, "is not six hex pairs"));
    app.add_option("--frames-log", o.framesLog, "one line per frame, flushed at once (see below)")->type_name("FILE");
    app.add_flag("--wall-clock", o.wallClock, "frames-log times from 1970, not from the start");
    app.add_flag("--quiet", o.quiet, "no trace on stderr");

}

void AddFaultOptions(CLI::App& app, DeviceOptions& o, std::vector<std::string>& statuses)
{
    app.option_defaults()->group("Fault modes");
    app.add_flag("--silent", o.faults.silent, "answer nothing");
    app.add_flag("--only-netconfig", o.faults.onlyNetConfig, "answer only GetNetConfig (0x01)");
    app.add_flag("--ignore-changes", o.faults.ignoreChanges, "answer 0x03 and 0x0B with success, change nothing");
    app.add_flag("--no-mac", [&o](int64_t) { o.state.hardwareAddress = false; }, "ifconfig shows no hardware address");
    app.add_option_function<uint32_t>("--heartbeat-stop-after",
                                      [&o](const uint32_t& s) { o.faults.heartbeatStopMs = int64_t{s} * 1000; },
                                      "stop answering heartbeats after SEC s (0: never)")
        ->type_name("SEC")->check(Between(0, 86400));
    app.add_option("--status", statuses, "reply to request CODE (7, 0x07, all) with status N")
        ->option_text("CODE=N")
        ->allow_extra_args(false)   // one CODE=N per --status, as before
        ->check(Check(IsStatus, "is not CODE=N (CODE 0x07, 7 or all; N 0-255)"));
    app.add_option("--delay", o.delayMs, "delay every reply")->type_name("MS")->check(Between(0, 60000));
    app.add_option("--corrupt-every", o.corruptEvery, "flip a checksum bit of every Nth reply")
        ->type_name("N")->check(Between(1, 1000000));
    app.add_flag("--noise", o.noise, "1-8 random bytes (never 0x55) before each reply");
    app.add_option_function<uint32_t>("--noise-every", [&o](const uint32_t& n) { o.noise = true; o.noiseEvery = n; },
                                      "the same noise before every Nth reply only")
        ->type_name("N")->check(Between(1, 1000000));
    app.add_flag("--fragment", o.fragment, "each reply in pieces of 1-7 bytes, 1-3 ms apart");
    app.add_option_function<uint32_t>("--hangup-after", [&o](const uint32_t& s) { o.hangupMs = int64_t{s} * 1000; },
                                      "close the line after SEC s and exit")
        ->type_name("SEC")->check(Between(0, 86400));
    app.add_option_function<uint32_t>("--seed", [&o](const uint32_t& n) { o.seed = n; o.seedGiven = true; },
                                      "seed for the random choices (default: the clock)")
        ->type_name("N");

}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, DeviceOptions& o, std::string& message)
{
    o = DeviceOptions{};
    o.state = DefaultDeviceState();
    o.faults = NoAnswerFaults();
    o.hangupMs = -1;
    o.noiseEvery = 1;
    std::vector<std::string> statuses;

    CLI::App app{"Serves the Quorvane device protocol on a new pseudo-terminal (its path is the\n"
                 "first line on stdout) or on a serial device, and traces every frame on stderr.",
                 "quorvane-device"};
    app.set_help_flag("-h,--help", "print this help and exit");
    app.footer(Footer);
    app.get_formatter()->column_width(30);
    // As before CLI11: an option given twice takes its last value.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    AddStateOptions(app, o);
    AddFaultOptions(app, o, statuses);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        o.help = true;
        message = app.help();
        return true;
    } catch (const CLI::ParseError& e) {
        message = e.what();
        return false;
    }
    for (const std::string& s : statuses)
        ApplyStatus(s, o.faults);
    return true;
}
