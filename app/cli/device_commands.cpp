// show, set, passwd and exec: the dialog's requests, each answer awaited,
// every change read back and compared.
#include <chrono>
#include <cstdio>
#include <functional>

#include "app/cli/cli.h"
#include "app/cli/device_steps.h"
#include "app/cli/link_session.h"
#include "app/cli/text.h"

Outcome RunShow(const CliOptions& o)
{
    Outcome out;
    out.doc["command"] = "show";
    if (!OpenDevice(o, out))
        return out;
    NetConfig config{};
    std::string password;
    // Both requests go out at once, as the dialog sends them on open.
    ExpectReply(GetNetConfig);
    ExpectReply(GetAdminPassword);
    SendGetNetConfig();
    SendGetAdminPassword();
    if (!Await(GetNetConfig, o, out, "reading the network settings") ||
        !Await(GetAdminPassword, o, out, "reading the password"))
        return out;
    config = ReceivedNetConfig();
    password = GbkToUtf8(ReceivedPassword());
    const std::string shown = o.showPassword ? password : "********";
    out.doc.update(SettingsJson(config));
    out.doc["password"] = shown;
    out.text.push_back("port      " + o.port);
    for (const std::string& line : SettingsLines(config))
        out.text.push_back(line);
    out.text.push_back("password  " + shown);
    return out;
}

Outcome RunSet(const CliOptions& o, const NetworkRequest& request)
{
    Outcome out;
    out.doc["command"] = "set";
    out.doc["requested"] = RequestJson(request);
    if (OpenDevice(o, out))
        ApplyNetwork(o, request, out);
    return out;
}

Outcome RunPasswd(const CliOptions& o, const std::string& gbkPassword)
{
    Outcome out;
    out.doc["command"] = "passwd";
    if (OpenDevice(o, out))
        ApplyPassword(o, gbkPassword, out);
    return out;
}

Outcome RunExec(const CliOptions& o, const std::string& gbkCommand)
{
    Outcome out;
    out.doc["command"] = "exec";
    out.doc["sent"] = GbkToUtf8(gbkCommand);
    nlohmann::json lines = nlohmann::json::array();
    if (!OpenDevice(o, out))
        return out;
    ExpectReply(RunShellCommand);
    SendShellCommand(gbkCommand.c_str());
    if (!Await(RunShellCommand, o, out, "running the command"))
        return out;
    // No reply marks the end of the output: it ends when the device has
    // been quiet for --quiet milliseconds.
    std::string line;
    while (NextOutputLine(line, o.quietMs)) {
        const std::string text = GbkToUtf8(line);
        lines.push_back(text);
        if (!o.json) {
            PrintText(stdout, text + "\n");
            std::fflush(stdout);
        }
    }
    out.doc["lines"] = lines;
    return out;
}

Outcome RunApply(const CliOptions& o, const NetworkRequest* network, const std::string* gbkPassword)
{
    Outcome out;
    out.doc["command"] = "apply";
    Progress("opening");
    if (!OpenDevice(o, out))
        return out;
    if (network != nullptr) {
        Progress("network");
        if (!ApplyNetwork(o, *network, out))
            return out;
    }
    if (gbkPassword != nullptr) {
        Progress("password");
        ApplyPassword(o, *gbkPassword, out);
    }
    return out;
}
