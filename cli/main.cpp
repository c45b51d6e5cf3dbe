// quorvane-cli: the dialog's operations from a script, on the same device
// client, receiver and serial port. See --help and the README.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "cli/cli.h"
#include "cli/input_checks.h"
#include "cli/text.h"
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

// "A,B,C": the three addresses as numbers, as the parent passes them to a
// worker (they were checked when the file was read).
bool ParseWorkerStatic(const std::string& text, NetworkRequest& r)
{
    unsigned long ip = 0, mask = 0, gateway = 0;
    if (std::sscanf(text.c_str(), "%lu,%lu,%lu", &ip, &mask, &gateway) != 3)
        return false;
    r.ipAddress = static_cast<uint32_t>(ip);
    r.subnetMask = static_cast<uint32_t>(mask);
    r.gateway = static_cast<uint32_t>(gateway);
    return true;
}

std::string FromHex(const std::string& hex)
{
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16));
    return out;
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
    app.add_option("-p,--port", o.port, "the serial port: COM3 on Windows, a device path on Linux")
        ->type_name("PORT");
    app.add_flag("--json", o.json, "print one JSON document instead of text");
    app.add_option("--timeout", o.timeoutMs, "milliseconds to wait for each answer")
        ->check(CLI::Range(1, 600000))
        ->type_name("MS");
    app.add_option("--trace", o.traceFile, "write every frame sent and received, decoded, to FILE")
        ->type_name("FILE");
    app.add_flag("--show-password", o.showPassword, "show passwords in the output and the trace");

    CLI::App* ports = app.add_subcommand("ports", "list the serial ports");
    CLI::App* show = app.add_subcommand("show", "read the network settings and the password");
    CLI::App* set = app.add_subcommand("set", "set the network settings and verify them: set dhcp | set static IP MASK GATEWAY");
    std::vector<std::string> setArgs;
    set->add_option("settings", setArgs, "dhcp, or static IP MASK GATEWAY")->required();
    CLI::App* passwd = app.add_subcommand("passwd", "change the password (1 to 16 bytes in GBK) and verify it");
    std::string newPassword;
    passwd->add_option("new", newPassword, "the new password")->required();
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
    provision->add_option("--jobs", jobs, "ports worked at once (default: all rows, at most 8)")
        ->check(CLI::Range(1, 32))
        ->type_name("N");
    provision->add_option("--report", reportPath, "also write the result table to FILE (CSV, or JSON for *.json)")
        ->type_name("FILE");
    // One provision row in a worker process; not for people.
    CLI::App* apply = app.add_subcommand("apply", "")->group("");
    bool applyDhcp = false;
    std::string applyStatic, applyPasswordHex;
    apply->add_flag("--dhcp", applyDhcp);
    apply->add_option("--static", applyStatic);
    apply->add_option("--password-hex", applyPasswordHex);
    for (CLI::App* sub : {ports, show, set, passwd, exec, watch, provision, apply})
        sub->fallthrough();

    std::vector<std::string> reversed(args.rbegin(), args.rend() - 1);
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? ExitDone : ExitUsage;
    }

    if (*ports) {
        Print(RunPorts(), o);
        return ExitDone;
    }
    if (*provision) {
        const Outcome out = RunProvision(o, csvPath, jobs, reportPath);
        Print(out, o);
        return out.code;
    }
    const char* name = app.get_subcommands().front()->get_name().c_str();
    if (o.port.empty())
        return Refuse(o, name, "no port given (-p PORT)");

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
        std::string gbk;
        const std::string problem = CheckPasswordText(newPassword, gbk);
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
    } else if (*apply) {
        NetworkRequest r;
        r.dhcp = applyDhcp;
        const bool network = applyDhcp || ParseWorkerStatic(applyStatic, r);
        const std::string password = FromHex(applyPasswordHex);
        o.json = true;
        out = RunApply(o, network ? &r : nullptr, password.empty() ? nullptr : &password);
    }
    Print(out, o);
    return out.code;
}
