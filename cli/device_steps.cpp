#include "cli/device_steps.h"

#include <memory>

#include "cli/mac_address.h"
#include "cli/failure_text.h"
#include "session/input_rules.h"
#include "cli/text.h"
#include "wire/frame_text.h"

namespace {

std::string Dotted(uint32_t address)
{
    char text[16];
    FormatDotted(address, text, sizeof text);
    return text;
}

}  // namespace

Outcome& SetFailure(Outcome& out, int code, const std::string& message)
{
    out.code = code;
    out.message = message;
    out.doc["error"] = message;
    return out;
}

void WithDevice(const CliOptions& o, Outcome& out, const std::function<void(DeviceLink&)>& body,
                const SupervisionHost& supervision)
{
    out.doc["port"] = o.port;
    if (!o.selector.empty())
        out.doc["selector"] = o.selector;
    // A session holds its buffers in place; it is made once per port.
    auto link = std::make_unique<DeviceLink>();
    if (!o.traceFile.empty()) {
        const Result traced = OpenTrace(link->trace, o.traceFile, o.showPassword);
        if (!Succeeded(traced)) {
            SetFailure(out, ExitUsage, "cannot create the trace file " + o.traceFile + ": " + ResultText(traced));
            return;
        }
    }
    const Result started = StartLink(*link, supervision);
    if (!Succeeded(started)) {
        SetFailure(out, ExitInternal, "cannot start the port's session: " + ResultText(started));
    } else {
        if (OpenDevicePort(*link, o, out))
            body(*link);
        EndLink(*link);
    }
    CloseTrace(link->trace);
}

bool OpenDevicePort(DeviceLink& link, const CliOptions& o, Outcome& out)
{
    const Result opened = OpenLink(link, o.port, o.selector);
    if (opened.status == Status::LineRefused) {
        CloseLink(link);
        out.doc["reason"] = OpenFailureWord(Status::Failed);
        SetFailure(out, ExitPort, "the system refused the line settings of " + o.port + " (115200 8N1): " +
                                      SystemErrorText(opened.osError));
        return false;
    }
    if (!Succeeded(opened)) {
        out.doc["reason"] = OpenFailureWord(opened.status);
        SetFailure(out, ExitPort, "cannot open " + o.port + ": " + OpenFailureText(opened));
        return false;
    }
    return true;
}

bool Written(const Result& result, const CliOptions& o, Outcome& out, const char* what)
{
    if (Succeeded(result))
        return true;
    SetFailure(out, ExitPort, std::string(what) + ": " + WriteFailureText(result, o.port));
    return false;
}

std::string WriteFailureText(const Result& result, const std::string& port)
{
    switch (result.status) {
    case Status::TimedOut:
        return "writing to " + port + " did not finish within " + std::to_string(WriteWaitMs) + " ms";
    case Status::Failed:
        return "writing to " + port + " failed: " + ResultText(result);
    default:
        return "nothing could be written to " + port + " (" + ResultText(result) + ")";
    }
}

bool Await(DeviceLink& link, uint8_t request, const CliOptions& o, Outcome& out, const char* what)
{
    uint8_t status = 0;
    switch (AwaitReply(link, request, o.timeoutMs, &status)) {
    case Answer::Accepted:
        return true;
    case Answer::Refused:
        out.doc["status"] = status;
        SetFailure(out, ExitRefused, std::string(what) + ": the device refused (status " +
                                   std::to_string(status) + ")");
        return false;
    case Answer::Interrupted:
        SetFailure(out, ExitInterrupted, std::string(what) + ": interrupted");
        return false;
    case Answer::None:
        break;
    }
    SetFailure(out, ExitNoAnswer, std::string(what) + ": no answer within " +
                                std::to_string(o.timeoutMs) + " ms");
    return false;
}

bool ApplyNetwork(DeviceLink& link, const CliOptions& o, const NetworkRequest& r, Outcome& out)
{
    ExpectReply(link, SetNetConfig);
    if (!Written(SendSetNetConfig(link.session, r.dhcp, r.ipAddress, r.subnetMask, r.gateway), o, out,
                 "setting the network") ||
        !Await(link, SetNetConfig, o, out, "setting the network"))
        return false;
    ExpectReply(link, GetNetConfig);
    if (!Written(SendGetNetConfig(link.session), o, out, "reading the network settings back") ||
        !Await(link, GetNetConfig, o, out, "reading the network settings back"))
        return false;
    const NetConfig back = ReceivedNetConfig(link);
    out.doc["read_back"] = SettingsJson(back);
    const std::string asked = SettingsSummary(r.dhcp, r.ipAddress, r.subnetMask, r.gateway);
    const std::string shown = SettingsSummary(back.dhcp, back.ipAddress, back.subnetMask, back.gateway);
    // With DHCP the device keeps or leases its addresses: only the flag counts.
    const bool same = back.dhcp == r.dhcp &&
                      (r.dhcp || (back.ipAddress == r.ipAddress && back.subnetMask == r.subnetMask &&
                                  back.gateway == r.gateway));
    if (!same) {
        out.doc["result"] = "verify_failed";
        SetFailure(out, ExitRefused, "verification failed: the device accepted \"" + asked +
                                   "\" but reports \"" + shown + "\"");
        return false;
    }
    out.text.push_back("network set:   " + asked);
    out.text.push_back("read back:     " + shown + "  (verified)");
    return true;
}

bool ApplyPassword(DeviceLink& link, const CliOptions& o, const std::string& gbkPassword, Outcome& out)
{
    ExpectReply(link, SetAdminPassword);
    if (!Written(SendSetAdminPassword(link.session, gbkPassword.c_str()), o, out, "changing the password") ||
        !Await(link, SetAdminPassword, o, out, "changing the password"))
        return false;
    ExpectReply(link, GetAdminPassword);
    if (!Written(SendGetAdminPassword(link.session), o, out, "reading the password back") ||
        !Await(link, GetAdminPassword, o, out, "reading the password back"))
        return false;
    const bool same = ReceivedPassword(link) == gbkPassword;
    out.doc["password_verified"] = same;
    if (!same) {
        out.doc["result"] = "verify_failed";
        SetFailure(out, ExitRefused, "verification failed: the device accepted the new password but "
                               "reads back another");
        return false;
    }
    out.text.push_back("password set:  " + (o.showPassword ? GbkToUtf8(gbkPassword) : "********") +
                       "  (read back and verified)");
    return true;
}

bool ReadMac(DeviceLink& link, const CliOptions& o, Outcome& out)
{
    out.doc["mac"] = nullptr;
    ExpectReply(link, RunShellCommand);
    if (!Written(SendShellCommand(link.session, QueryNetworkCommand), o, out, "reading the MAC") ||
        !Await(link, RunShellCommand, o, out, "reading the MAC"))
        return false;
    const int64_t deadline = MonotonicMicroseconds() + int64_t{o.timeoutMs} * 1000;
    MacReader reader;
    std::string line;
    for (int64_t left = o.timeoutMs; left > 0; left = (deadline - MonotonicMicroseconds()) / 1000) {
        if (!NextOutputLine(link, line, static_cast<int>(left)) || FeedIfconfigReply(reader, line))
            break;
    }
    if (reader.state == MacSearch::Found) {
        out.doc["mac"] = reader.mac;
        return true;
    }
    out.doc["mac_note"] = reader.state == MacSearch::Malformed ? "ifconfig's hardware address is not six hex pairs"
                          : reader.state == MacSearch::Absent  ? "ifconfig shows no hardware address"
                                                               : "no hardware address within " + std::to_string(o.timeoutMs) + " ms";
    return true;
}

nlohmann::json SettingsJson(const NetConfig& c)
{
    nlohmann::json j;
    j["dhcp"] = c.dhcp;
    // With DHCP on the client does not decode the addresses.
    j["ip"] = c.dhcp ? nlohmann::json() : nlohmann::json(Dotted(c.ipAddress));
    j["mask"] = c.dhcp ? nlohmann::json() : nlohmann::json(Dotted(c.subnetMask));
    j["gateway"] = c.dhcp ? nlohmann::json() : nlohmann::json(Dotted(c.gateway));
    return j;
}

nlohmann::json RequestJson(const NetworkRequest& r)
{
    return SettingsJson(NetConfig{r.dhcp, r.ipAddress, r.subnetMask, r.gateway});
}

std::vector<std::string> SettingsLines(const NetConfig& c)
{
    std::vector<std::string> lines{std::string("dhcp      ") + (c.dhcp ? "on" : "off")};
    if (!c.dhcp) {
        lines.push_back("ip        " + Dotted(c.ipAddress));
        lines.push_back("mask      " + Dotted(c.subnetMask));
        lines.push_back("gateway   " + Dotted(c.gateway));
    }
    return lines;
}

std::string SettingsSummary(bool dhcp, uint32_t ip, uint32_t mask, uint32_t gateway)
{
    if (dhcp)
        return "dhcp";
    return "static " + Dotted(ip) + " " + Dotted(mask) + " " + Dotted(gateway);
}
