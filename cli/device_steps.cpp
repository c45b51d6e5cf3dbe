#include "cli/device_steps.h"

#include <memory>

#include "cli/mac_address.h"
#include "cli/failure_text.h"
#include "session/input_rules.h"
#include "cli/text.h"
#include "wire/frame_text.h"

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
    AddFactsJson(out.device, out.doc);
}

bool OpenDevicePort(DeviceLink& link, const CliOptions& o, Outcome& out)
{
    const Result opened = OpenLink(link, o.port, o.selector);
    if (opened.status == Status::LineRefused) {
        CloseLink(link);
        out.device.portProblem = OpenFailureWord(Status::Failed);
        SetFailure(out, ExitPort, "the system refused the line settings of " + o.port + " (115200 8N1): " +
                                      SystemErrorText(opened.osError));
        return false;
    }
    if (!Succeeded(opened)) {
        out.device.portProblem = OpenFailureWord(opened.status);
        SetFailure(out, ExitPort, "cannot open " + o.port + ": " + OpenFailureText(opened));
        return false;
    }
    return true;
}

bool Written(const Result& result, const CliOptions& o, Outcome& out, const char* what)
{
    if (Succeeded(result))
        return true;
    if (result.status == Status::Removed)
        out.doc["reason"] = OpenFailureWord(Status::Removed);
    SetFailure(out, ExitPort, std::string(what) + ": " + WriteFailureText(result, o.port));
    return false;
}

std::string RemovalText(const Result& why, const std::string& port)
{
    return "the adapter of " + port + " was removed (" + ResultText(why) + ")";
}

bool StillPresent(DeviceLink& link, const CliOptions& o, Outcome& out, const char* what)
{
    Result why;
    if (!LinkRemoved(link, &why))
        return true;
    out.doc["reason"] = OpenFailureWord(Status::Removed);
    SetFailure(out, ExitPort, std::string(what) + ": " + RemovalText(why, o.port));
    return false;
}

std::string WriteFailureText(const Result& result, const std::string& port)
{
    switch (result.status) {
    case Status::Removed:
        return RemovalText(result, port);
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
        out.device.refusalStatus = status;
        SetFailure(out, ExitRefused, std::string(what) + ": the device refused (status " +
                                   std::to_string(status) + ")");
        return false;
    case Answer::Interrupted:
        SetFailure(out, ExitInterrupted, std::string(what) + ": interrupted");
        return false;
    case Answer::Removed:
        return StillPresent(link, o, out, what);
    case Answer::None:
        break;
    }
    SetFailure(out, ExitNoAnswer, std::string(what) + ": no answer within " +
                                std::to_string(o.timeoutMs) + " ms");
    return false;
}

bool ApplyNetwork(DeviceLink& link, const CliOptions& o, const NetConfig& r, Outcome& out)
{
    ExpectReply(link, SetNetConfig);
    out.device.wrote = true;
    if (!Written(SendSetNetConfig(link.session, r.dhcp, r.ipAddress, r.subnetMask, r.gateway), o, out,
                 "setting the network") ||
        !Await(link, SetNetConfig, o, out, "setting the network"))
        return false;
    ExpectReply(link, GetNetConfig);
    if (!Written(SendGetNetConfig(link.session), o, out, "reading the network settings back") ||
        !Await(link, GetNetConfig, o, out, "reading the network settings back"))
        return false;
    const NetConfig back = ReceivedNetConfig(link);
    out.device.readBackTaken = true;
    out.device.readBack = back;
    const std::string asked = SettingsSummary(r);
    const std::string shown = SettingsSummary(back);
    if (!SameSettings(r, back)) {
        out.device.verdict = "verify_failed";
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
    out.device.wrote = true;
    if (!Written(SendSetAdminPassword(link.session, gbkPassword.c_str()), o, out, "changing the password") ||
        !Await(link, SetAdminPassword, o, out, "changing the password"))
        return false;
    ExpectReply(link, GetAdminPassword);
    if (!Written(SendGetAdminPassword(link.session), o, out, "reading the password back") ||
        !Await(link, GetAdminPassword, o, out, "reading the password back"))
        return false;
    const bool same = ReceivedPassword(link) == gbkPassword;
    out.device.password = same ? DeviceFacts::Password::Verified : DeviceFacts::Password::Differs;
    if (!same) {
        out.device.verdict = "verify_failed";
        SetFailure(out, ExitRefused, "verification failed: the device accepted the new password but "
                               "reads back another");
        return false;
    }
    out.text.push_back("password set:  " + (o.showPassword ? GbkToUtf8(gbkPassword) : std::string(MaskedPassword)) +
                       "  (read back and verified)");
    return true;
}

bool ReadMac(DeviceLink& link, const CliOptions& o, Outcome& out)
{
    out.device.macAsked = true;
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
    if (!StillPresent(link, o, out, "reading the MAC"))
        return false;
    if (reader.state == MacSearch::Found) {
        out.device.mac = reader.mac;
        return true;
    }
    out.device.macNote = reader.state == MacSearch::Malformed ? "ifconfig's hardware address is not six hex pairs"
                          : reader.state == MacSearch::Absent  ? "ifconfig shows no hardware address"
                                                               : "no hardware address within " + std::to_string(o.timeoutMs) + " ms";
    return true;
}

bool ReadCurrent(DeviceLink& link, const CliOptions& o, bool password, NetConfig& config, std::string& gbkPassword,
                 Outcome& out)
{
    ExpectReply(link, GetNetConfig);
    ExpectReply(link, GetAdminPassword);
    if (!Written(SendGetNetConfig(link.session), o, out, "reading the settings the unit holds") ||
        (password && !Written(SendGetAdminPassword(link.session), o, out, "reading the password the unit holds")) ||
        !Await(link, GetNetConfig, o, out, "reading the settings the unit holds") ||
        (password && !Await(link, GetAdminPassword, o, out, "reading the password the unit holds")))
        return false;
    config = ReceivedNetConfig(link);
    gbkPassword = password ? ReceivedPassword(link) : "";
    return true;
}

bool SameSettings(const NetConfig& asked, const NetConfig& shown)
{
    return shown.dhcp == asked.dhcp &&
           (asked.dhcp || (shown.ipAddress == asked.ipAddress && shown.subnetMask == asked.subnetMask &&
                           shown.gateway == asked.gateway));
}

void AddFactsJson(const DeviceFacts& f, nlohmann::json& doc)
{
    if (f.readBackTaken)
        doc["read_back"] = SettingsJson(f.readBack);
    if (f.password != DeviceFacts::Password::NotRead)
        doc["password_verified"] = f.password == DeviceFacts::Password::Verified;
    if (f.macAsked)
        doc["mac"] = f.mac.empty() ? nlohmann::json() : nlohmann::json(f.mac);
    if (!f.macNote.empty())
        doc["mac_note"] = f.macNote;
    if (f.verdict != nullptr)
        doc["result"] = f.verdict;
    if (f.portProblem != nullptr)
        doc["reason"] = f.portProblem;
    if (f.refusalStatus >= 0)
        doc["status"] = f.refusalStatus;
}

nlohmann::json SettingsJson(const NetConfig& c)
{
    nlohmann::json j;
    j["dhcp"] = c.dhcp;
    // With DHCP on the client does not decode the addresses.
    j["ip"] = c.dhcp ? nlohmann::json() : nlohmann::json(DottedText(c.ipAddress));
    j["mask"] = c.dhcp ? nlohmann::json() : nlohmann::json(DottedText(c.subnetMask));
    j["gateway"] = c.dhcp ? nlohmann::json() : nlohmann::json(DottedText(c.gateway));
    return j;
}

std::vector<std::string> SettingsLines(const NetConfig& c)
{
    std::vector<std::string> lines{std::string("dhcp      ") + (c.dhcp ? "on" : "off")};
    if (!c.dhcp) {
        lines.push_back("ip        " + DottedText(c.ipAddress));
        lines.push_back("mask      " + DottedText(c.subnetMask));
        lines.push_back("gateway   " + DottedText(c.gateway));
    }
    return lines;
}

std::string SettingsSummary(bool dhcp, uint32_t ip, uint32_t mask, uint32_t gateway)
{
    if (dhcp)
        return "dhcp";
    return "static " + DottedText(ip) + " " + DottedText(mask) + " " + DottedText(gateway);
}

std::string SettingsSummary(const NetConfig& c)
{
    return SettingsSummary(c.dhcp, c.ipAddress, c.subnetMask, c.gateway);
}
