// show, set, passwd and exec: the dialog's requests, each answer awaited,
// every change read back and compared.
#include <cstdio>

#include "cli/cli.h"
#include "cli/device_steps.h"
#include "cli/text.h"
#include "wire/frame_text.h"

Outcome RunShow(const CliOptions& o)
{
    Outcome out;
    out.doc["command"] = "show";
    WithDevice(o, out, [&](DeviceLink& link) {
        // Both requests go out at once, as the dialog sends them on open.
        ExpectReply(link, GetNetConfig);
        ExpectReply(link, GetAdminPassword);
        if (!Written(SendGetNetConfig(link.session), o, out, "reading the network settings") ||
            !Written(SendGetAdminPassword(link.session), o, out, "reading the password") ||
            !Await(link, GetNetConfig, o, out, "reading the network settings") ||
            !Await(link, GetAdminPassword, o, out, "reading the password"))
            return;
        const NetConfig config = ReceivedNetConfig(link);
        const std::string shown = o.showPassword ? GbkToUtf8(ReceivedPassword(link)) : std::string(MaskedPassword);
        out.doc.update(SettingsJson(config));
        out.doc["password"] = shown;
        out.text.push_back("port      " + o.port);
        for (const std::string& line : SettingsLines(config))
            out.text.push_back(line);
        out.text.push_back("password  " + shown);
    });
    return out;
}

Outcome RunSet(const CliOptions& o, const NetConfig& request)
{
    Outcome out;
    out.doc["command"] = "set";
    out.doc["requested"] = SettingsJson(request);
    WithDevice(o, out, [&](DeviceLink& link) { ApplyNetwork(link, o, request, out); });
    return out;
}

Outcome RunPasswd(const CliOptions& o, const std::string& gbkPassword)
{
    Outcome out;
    out.doc["command"] = "passwd";
    WithDevice(o, out, [&](DeviceLink& link) { ApplyPassword(link, o, gbkPassword, out); });
    return out;
}

Outcome RunExec(const CliOptions& o, const std::string& gbkCommand)
{
    Outcome out;
    out.doc["command"] = "exec";
    out.doc["sent"] = GbkToUtf8(gbkCommand);
    WithDevice(o, out, [&](DeviceLink& link) {
        ExpectReply(link, RunShellCommand);
        if (!Written(SendShellCommand(link.session, gbkCommand.c_str()), o, out, "running the command") ||
            !Await(link, RunShellCommand, o, out, "running the command"))
            return;
        // No reply marks the end of the output: it ends when the device has
        // been quiet for --quiet milliseconds.
        nlohmann::json lines = nlohmann::json::array();
        std::string line;
        while (NextOutputLine(link, line, o.quietMs)) {
            const std::string text = GbkToUtf8(line);
            lines.push_back(text);
            if (!o.json) {
                PrintText(stdout, text + "\n");
                std::fflush(stdout);
            }
        }
        out.doc["lines"] = lines;
        // The output ends early when the adapter is pulled: that is no quiet end.
        StillPresent(link, o, out, "running the command");
    });
    return out;
}
