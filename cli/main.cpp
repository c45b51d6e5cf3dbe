// quorvane-cli: the dialog's operations from a script, on the same device
// client, receiver and serial port. See --help and the README.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <map>

#include "cli/address_rules.h"
#include "cli/cli.h"
#include "cli/input_checks.h"
#include "cli/port_selector.h"
#include "cli/text.h"
#include "cli/worker_pool.h"
#include "quorvane_version.h"
#include "session/session.h"
#include "wire/frame_text.h"

namespace {

constexpr char Version[] = QV_VERSION_TEXT;   // git describe (cmake/Version.cmake)

// Everything the command line names, and the commands as CLI11 holds them.
struct CommandLine {
    CliOptions o;
    std::vector<std::string> portsNamed, excluded, setArgs, commandWords;
    bool probe = false;
    bool remoteGateway = false;   // --allow-remote-gateway, for set and provision
    std::string newPassword;
    ProvisionOptions provisioning;
    CLI::App *ports, *show, *set, *passwd, *exec, *watch, *provision;
};

std::string ExitCodesHelp()
{
    std::string help = "\nExit codes:\n";
    for (const ExitCodeEntry& e : ExitCodes) {
        std::string code = std::to_string(e.code);
        code.resize(5, ' ');
        help += "  " + code + e.meaning + "\n";
    }
    return help + "provision exits with the highest code of its rows.\n";
}

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

Outcome UsageRefused(const char* command, const std::string& message)
{
    Outcome out;
    out.doc["command"] = command;
    SetFailure(out, ExitUsage, message);
    return out;
}

// The new password: from the argument (with a warning: it shows in the
// process list and the shell's history), typed twice on a terminal without
// echo, or one line from standard input. Empty when good, else the problem.
std::string NewPassword(const std::string& argument, bool given, TextEncoding encoding, std::string& utf8)
{
    if (given) {
        PrintText(stderr, "quorvane-cli: a password on the command line shows in the process list and the "
                          "shell's history; leave it out to be asked for it\n");
        utf8 = argument;
        return "";
    }
    if (StdinIsTerminal()) {
        std::string again;
        if (!ReadHiddenLine("new password: ", utf8) || !ReadHiddenLine("again: ", again))
            return "no password typed";
        return utf8 == again ? "" : "the two passwords differ";
    }
    std::vector<std::string> line{ReadStdinLine()};
    std::string problem;
    if (!DecodeLines(line, encoding, problem))
        return problem;
    utf8 = line[0];
    return "";
}

// Every port is closed and every thread joined before the program ends; a
// session still open here is a fault of this program, not of the device.
int NothingLeftOpen(int code)
{
    const int left = LiveSessions();
    if (left == 0)
        return code;
    PrintText(stderr, "quorvane-cli: internal error: " + std::to_string(left) + " session(s) left open\n");
    return ExitInternal;
}

void DefineCommonOptions(CLI::App& app, CommandLine& c)
{
    app.set_version_flag("--version", std::string("quorvane-cli ") + Version);
    app.footer(ExitCodesHelp());
    app.require_subcommand(1);
    app.option_defaults()->always_capture_default();
    app.add_option("-p,--port", c.portsNamed, "the serial port: COM3 on Windows, a device path on Linux, "
                                              "or its adapter: serial=S or location=L as ports shows them "
                                              "(ports: repeatable)")
        ->type_name("PORT");
    app.add_flag("--json", c.o.json, "print one JSON document instead of text");
    app.add_option("--timeout", c.o.timeoutMs, "milliseconds to wait for each answer")
        ->check(CLI::Range(1, 600000))
        ->type_name("MS");
    app.add_option("--trace", c.o.traceFile, "write every frame sent and received, decoded, to FILE")
        ->type_name("FILE");
    app.add_flag("--show-password", c.o.showPassword, "show passwords in the output and the trace");
}

void AddEncoding(CLI::App* command, TextEncoding& encoding, const char* what)
{
    static const std::map<std::string, TextEncoding> encodings{{"utf-8", TextEncoding::Utf8},
                                                               {"gbk", TextEncoding::Gbk}};
    command->add_option("--encoding", encoding, std::string(what) + ": utf-8 or gbk (default: UTF-8 if valid, else GBK)")
        ->transform(CLI::CheckedTransformer(encodings, CLI::ignore_case))
        ->type_name("ENCODING");
}

// The address rules refuse a gateway outside the IP's subnet unless told.
void AddRemoteGateway(CLI::App* command, bool& allowed)
{
    command->add_flag("--allow-remote-gateway", allowed,
                      "accept a gateway outside the IP's subnet, for a network that routes it that way "
                      "(a static IP must otherwise be usable: a mask of ones then zeros, an IP that is no "
                      "loopback, multicast, broadcast, network or subnet broadcast address, a gateway "
                      "0.0.0.0 or inside the subnet and not the IP)");
}

void DefineDeviceCommands(CLI::App& app, CommandLine& c)
{
    c.show = app.add_subcommand("show", "read the network settings and the password");
    c.set = app.add_subcommand("set", "set the network settings and verify them: set dhcp | set static IP MASK GATEWAY");
    c.set->add_option("settings", c.setArgs, "dhcp, or static IP MASK GATEWAY")->required();
    AddRemoteGateway(c.set, c.remoteGateway);
    c.passwd = app.add_subcommand("passwd", "change the password (1 to 16 bytes in GBK) and verify it; "
                                            "without NEW it is asked for, or read from standard input");
    c.passwd->add_option("new", c.newPassword, "the new password (better left out: it shows in the process list)");
    AddEncoding(c.passwd, c.provisioning.encoding, "standard input's text");
    c.exec = app.add_subcommand("exec", "run a shell command and print its output lines as they arrive");
    c.exec->add_option("command", c.commandWords, "the command and its arguments")->required();
    c.exec->add_option("--quiet", c.o.quietMs, "the output has ended after this many quiet milliseconds")
        ->check(CLI::Range(1, 600000))
        ->type_name("MS");
    c.exec->prefix_command();
    c.watch = app.add_subcommand("watch", "heartbeat every 3 s; a line on every change of the link, until Ctrl-C");
}

void DefineRackCommands(CLI::App& app, CommandLine& c)
{
    c.ports = app.add_subcommand("ports", "list the serial ports; --probe: which device answers on which");
    c.ports->add_flag("--probe", c.probe, "open every port at once and ask it for its network settings");
    c.ports->add_option("--exclude", c.excluded, "leave this port (or adapter) out of the probe (repeatable)")
        ->type_name("PORT");
    c.provision = app.add_subcommand("provision", "set up every device of a CSV file (port,mode,ip,mask,gateway,password)");
    ProvisionOptions& p = c.provisioning;
    c.provision->add_option("file", p.sheet, "the CSV file")->required();
    c.provision->add_option("--jobs", p.jobs, "ports worked at once, each a session of this process "
                                              "(default: all rows, at most 32)")
        ->check(CLI::Range(1, static_cast<int>(MaxJobs)))
        ->type_name("N");
    AddEncoding(c.provision, p.encoding, "the file's text");
    c.provision->add_option("--report", p.report, "also write the result table to FILE (CSV, or JSON for *.json)")
        ->type_name("FILE");
    c.provision->add_option("--log", p.log, "append a line for every device to FILE (JSON lines), kept on the "
                                            "disk as each row ends")
        ->type_name("FILE");
    c.provision->add_option("--operator", p.operatorName, "who works the rack, for the log (default: the login name)")
        ->type_name("NAME");
    c.provision->add_flag("--no-mac", [&p](int64_t) { p.mac = false; },
                          "do not ask each device for its MAC (ifconfig) before it is set up");
    c.provision->add_flag("--reassign", p.reassign,
                          "with --log: give a unit an IP the log gives to another unit (its line names the "
                          "former owner)");
    c.provision->add_flag("--force", p.force, "write even to a unit that already holds the asked settings");
    AddRemoteGateway(c.provision, p.remoteGateway);
}

Outcome SetCommand(const CommandLine& c, const char* name)
{
    NetConfig r{};
    const bool fixed = c.setArgs.size() == 4 && c.setArgs[0] == "static";
    r.dhcp = c.setArgs.size() == 1 && c.setArgs[0] == "dhcp";
    if (!r.dhcp && !fixed)
        return UsageRefused(name, "use: set dhcp | set static IP MASK GATEWAY");
    const char* fields[3] = {"IP", "MASK", "GATEWAY"};
    uint32_t* targets[3] = {&r.ipAddress, &r.subnetMask, &r.gateway};
    for (int i = 0; fixed && i < 3; ++i)
        if (!ParseDotted(c.setArgs[1 + i].c_str(), targets[i]))
            return UsageRefused(name, std::string(fields[i]) + " \"" + c.setArgs[1 + i] + "\" is not an address A.B.C.D (0-255)");
    const AddressProblem problem = fixed ? CheckStaticAddresses(r, c.remoteGateway) : AddressProblem{};
    if (problem.field != nullptr)
        return UsageRefused(name, std::string("field ") + problem.field + ": " + problem.rule);
    return RunSet(c.o, r);
}

Outcome PasswdCommand(const CommandLine& c, const char* name)
{
    std::string utf8, gbk;
    std::string problem = NewPassword(c.newPassword, c.passwd->count("new") != 0, c.provisioning.encoding, utf8);
    if (problem.empty())
        problem = CheckPasswordText(utf8, gbk);
    return problem.empty() ? RunPasswd(c.o, gbk) : UsageRefused(name, "the password: " + problem);
}

Outcome ExecCommand(const CommandLine& c, const char* name)
{
    std::string joined, gbk;
    for (const std::string& w : c.commandWords)
        joined += (joined.empty() ? "" : " ") + w;
    const std::string problem = CheckCommandText(joined, gbk);
    return problem.empty() ? RunExec(c.o, gbk) : UsageRefused(name, problem);
}

// The commands that work one port, named with -p: by its name, or by its
// adapter, resolved here once among the ports present.
Outcome DeviceCommand(CommandLine& c, const char* name)
{
    if (c.portsNamed.size() != 1)
        return UsageRefused(name, c.portsNamed.empty() ? "no port given (-p PORT)" : "one port only (-p PORT)");
    const std::string& named = c.portsNamed[0];
    const PortChoice choice = IsAdapterSelector(named) ? ChoosePort(named, PresentPorts()) : ChoosePort(named, {});
    if (choice.code != ExitDone) {
        Outcome out = UsageRefused(name, choice.problem);
        out.doc["selector"] = named;
        return SetFailure(out, choice.code, choice.problem);
    }
    c.o.port = choice.port;
    c.o.selector = IsAdapterSelector(named) ? named : "";
    if (*c.show)
        return RunShow(c.o);
    if (*c.set)
        return SetCommand(c, name);
    if (*c.passwd)
        return PasswdCommand(c, name);
    if (*c.exec)
        return ExecCommand(c, name);
    return RunWatch(c.o);
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args = CommandLineUtf8(argc, argv);
    CommandLine c;
    c.provisioning.version = Version;
    CLI::App app{"Configures Quorvane devices over a serial line from scripts: read, set and verify "
                 "network settings and the password, run shell commands, watch the link, and "
                 "provision many devices from a CSV file.",
                 "quorvane-cli"};
    DefineCommonOptions(app, c);
    DefineRackCommands(app, c);
    DefineDeviceCommands(app, c);
    for (CLI::App* sub : {c.ports, c.show, c.set, c.passwd, c.exec, c.watch, c.provision})
        sub->fallthrough();
    std::vector<std::string> reversed(args.rbegin(), args.rend() - 1);
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? ExitDone : ExitUsage;
    }
    const std::string name = app.get_subcommands().front()->get_name();
    const Outcome out = *c.ports       ? RunPorts(c.o, c.probe, c.portsNamed, c.excluded)
                        : *c.provision ? RunProvision(c.o, c.provisioning)
                                       : DeviceCommand(c, name.c_str());
    Print(out, c.o);
    return NothingLeftOpen(out.code);
}
