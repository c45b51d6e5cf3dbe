// quorvane-cli: the dialog's operations from a script, on the same device
// client, receiver and serial port. See --help and the README.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <map>
#include <cstdio>
#include <cstdlib>

#include "cli/cli.h"
#include "cli/input_checks.h"
#include "cli/text.h"
#include "session/session.h"
#include "wire/frame_text.h"

namespace {

constexpr char ExitCodesHelp[] =
    "\nExit codes:\n"
    "  0  done\n"
    "  1  the device refused (non-zero status) or verification failed\n"
    "  2  bad usage or bad input (nothing sent)\n"
    "  3  no answer within the timeout\n"
    "  4  the port cannot be opened (the system's reason is shown)\n"
    "provision exits with the highest code of its rows.\n";

void Print(const Outcome& out, const CliOptions& o)
{
    if (o.json) {
        nlohmann::json doc = out.doc;
        if (!doc.contains("result"))
            doc["result"] = ResultWord(out.code);
        doc["exit_code"] = out.code;
        PrintText(stdout, doc.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
        return;
    }
    for (const std::string& line : out.text)
        PrintText(stdout, line + "\n");
    std::fflush(stdout);
    if (!out.message.empty())
        PrintText(stderr, "quorvane-cli: " + out.message + "\n");
}

int Refuse(const CliOptions& o, const char* command, const std::string& message)
{
    Outcome out;
    out.doc["command"] = command;
    Fail(out, ExitUsage, message);
    Print(out, o);
    return ExitUsage;
}

// The new password: from the argument (with a warning: it shows in the
// process list and the shell's history), typed twice on a terminal without
// echo, or one line from standard input.
bool NewPassword(const std::string& argument, bool given, TextEncoding encoding, std::string& utf8,
                 std::string& problem)
{
    if (given) {
        PrintText(stderr, "quorvane-cli: a password on the command line shows in the process list and the "
                          "shell's history; leave it out to be asked for it\n");
        utf8 = argument;
        return true;
    }
    if (StdinIsTerminal()) {
        std::string again;
        if (!ReadHiddenLine("new password: ", utf8) || !ReadHiddenLine("again: ", again)) {
            problem = "no password typed";
            return false;
        }
        if (utf8 != again) {
            problem = "the two passwords differ";
            return false;
        }
        return true;
    }
    std::vector<std::string> line{ReadStdinLine()};
    if (!DecodeLines(line, encoding, problem))
        return false;
    utf8 = line[0];
    return true;
}

// Every port is closed and every thread joined before the program ends; a
// session still open here is a fault of this program, not of the device.
int Finish(int code)
{
    const int left = LiveSessions();
    if (left == 0)
        return code;
    PrintText(stderr, "quorvane-cli: internal error: " + std::to_string(left) + " session(s) left open\n");
    return ExitInternal;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args = CommandLineUtf8(argc, argv);
    CliOptions o;
    CLI::App app{"Configures Quorvane devices over a serial line from scripts: read, set and verify "
                 "network settings and the password, run shell commands, watch the link, and "
                 "provision many devices from a CSV file.",
                 "quorvane-cli"};
    app.set_version_flag("--version", "quorvane-cli 1.0");
    app.footer(ExitCodesHelp);
    app.require_subcommand(1);
    app.option_defaults()->always_capture_default();
    std::vector<std::string> portsNamed;
    app.add_option("-p,--port", portsNamed, "the serial port: COM3 on Windows, a device path on Linux "
                                            "(ports: repeatable)")
        ->type_name("PORT");
    app.add_flag("--json", o.json, "print one JSON document instead of text");
    app.add_option("--timeout", o.timeoutMs, "milliseconds to wait for each answer")
        ->check(CLI::Range(1, 600000))
        ->type_name("MS");
    app.add_option("--trace", o.traceFile, "write every frame sent and received, decoded, to FILE")
        ->type_name("FILE");
    app.add_flag("--show-password", o.showPassword, "show passwords in the output and the trace");

    CLI::App* ports = app.add_subcommand("ports", "list the serial ports; --probe: which device answers on which");
    bool probe = false;
    std::vector<std::string> excluded;
    ports->add_flag("--probe", probe, "open every port at once and ask it for its network settings");
    ports->add_option("--exclude", excluded, "leave this port out of the probe (repeatable)")->type_name("PORT");
    TextEncoding encoding = TextEncoding::Guess;
    const std::map<std::string, TextEncoding> encodings{{"utf-8", TextEncoding::Utf8}, {"gbk", TextEncoding::Gbk}};
    CLI::App* show = app.add_subcommand("show", "read the network settings and the password");
    CLI::App* set = app.add_subcommand("set", "set the network settings and verify them: set dhcp | set static IP MASK GATEWAY");
    std::vector<std::string> setArgs;
    set->add_option("settings", setArgs, "dhcp, or static IP MASK GATEWAY")->required();
    CLI::App* passwd = app.add_subcommand("passwd", "change the password (1 to 16 bytes in GBK) and verify it; "
                                                    "without NEW it is asked for, or read from standard input");
    std::string newPassword;
    passwd->add_option("new", newPassword, "the new password (better left out: it shows in the process list)");
    passwd->add_option("--encoding", encoding, "standard input's text: utf-8 or gbk (default: UTF-8 if valid, else GBK)")
        ->transform(CLI::CheckedTransformer(encodings, CLI::ignore_case))
        ->type_name("ENCODING");
    CLI::App* exec = app.add_subcommand("exec", "run a shell command and print its output lines as they arrive");
    std::vector<std::string> commandWords;
    exec->add_option("command", commandWords, "the command and its arguments")->required();
    exec->add_option("--quiet", o.quietMs, "the output has ended after this many quiet milliseconds")
        ->check(CLI::Range(1, 600000))
        ->type_name("MS");
    exec->prefix_command();
    CLI::App* watch = app.add_subcommand("watch", "heartbeat every 3 s; a line on every change of the link, until Ctrl-C");
    CLI::App* provision = app.add_subcommand("provision", "set up every device of a CSV file (port,mode,ip,mask,gateway,password)");
    std::string csvPath, reportPath;
    int jobs = 0;
    provision->add_option("file", csvPath, "the CSV file")->required();
    provision->add_option("--jobs", jobs, "ports worked at once, each a session of this process "
                                          "(default: all rows, at most 32)")
        ->check(CLI::Range(1, MaxJobs))
        ->type_name("N");
    provision->add_option("--encoding", encoding, "the file's text: utf-8 or gbk (default: UTF-8 if valid, else GBK)")
        ->transform(CLI::CheckedTransformer(encodings, CLI::ignore_case))
        ->type_name("ENCODING");
    provision->add_option("--report", reportPath, "also write the result table to FILE (CSV, or JSON for *.json)")
        ->type_name("FILE");
    for (CLI::App* sub : {ports, show, set, passwd, exec, watch, provision})
        sub->fallthrough();

    std::vector<std::string> reversed(args.rbegin(), args.rend() - 1);
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? ExitDone : ExitUsage;
    }

    if (*ports) {
        const Outcome out = RunPorts(o, probe, portsNamed, excluded);
        Print(out, o);
        return Finish(out.code);
    }
    if (*provision) {
        const Outcome out = RunProvision(o, csvPath, jobs, reportPath, encoding);
        Print(out, o);
        return Finish(out.code);
    }
    const char* name = app.get_subcommands().front()->get_name().c_str();
    if (portsNamed.size() != 1)
        return Refuse(o, name, portsNamed.empty() ? "no port given (-p PORT)" : "one port only (-p PORT)");
    o.port = portsNamed[0];

    Outcome out;
    if (*show) {
        out = RunShow(o);
    } else if (*set) {
        NetworkRequest r;
        const bool dhcp = setArgs.size() == 1 && setArgs[0] == "dhcp";
        const bool fixed = setArgs.size() == 4 && setArgs[0] == "static";
        r.dhcp = dhcp;
        if (!dhcp && !fixed)
            return Refuse(o, name, "use: set dhcp | set static IP MASK GATEWAY");
        const char* fields[3] = {"IP", "MASK", "GATEWAY"};
        uint32_t* targets[3] = {&r.ipAddress, &r.subnetMask, &r.gateway};
        for (int i = 0; fixed && i < 3; ++i)
            if (!ParseDotted(setArgs[1 + i].c_str(), targets[i]))
                return Refuse(o, name, std::string(fields[i]) + " \"" + setArgs[1 + i] +
                                           "\" is not an address A.B.C.D (0-255)");
        out = RunSet(o, r);
    } else if (*passwd) {
        std::string utf8, gbk, problem;
        if (NewPassword(newPassword, passwd->count("new") != 0, encoding, utf8, problem))
            problem = CheckPasswordText(utf8, gbk);
        if (!problem.empty())
            return Refuse(o, name, "the password: " + problem);
        out = RunPasswd(o, gbk);
    } else if (*exec) {
        std::string joined, gbk;
        for (const std::string& w : commandWords)
            joined += (joined.empty() ? "" : " ") + w;
        const std::string problem = CheckCommandText(joined, gbk);
        if (!problem.empty())
            return Refuse(o, name, problem);
        out = RunExec(o, gbk);
    } else if (*watch) {
        out = RunWatch(o);
    }
    Print(out, o);
    return Finish(out.code);
}
