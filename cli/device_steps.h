// The steps the device commands are made of, shared by show/set/passwd/exec
// and by provision's rows. A step that fails has filled the Outcome.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/device_link.h"

// Starts a link to -p PORT (with the trace, if asked), runs `body` on it and
// ends the link, whatever happened: nothing of the session is left. A port
// that cannot be opened, or whose line settings the system refuses, is exit
// 4 with the system's reason; a session the system will not start, exit 70.
// `supervision` is the host of the link's supervision (watch), or none. The
// device's facts land in out.doc at the end.
void WithDevice(const CliOptions& o, Outcome& out, const std::function<void(DeviceLink&)>& body,
                const SupervisionHost& supervision = SupervisionHost{});

// Opens the port of a started link: exit 4 with the reason when it fails.
bool OpenDevicePort(DeviceLink& link, const CliOptions& o, Outcome& out);

// A request's write: exit 4 with the reason when it failed or did not finish.
bool Written(const Result& result, const CliOptions& o, Outcome& out, const char* what);
// Why a write failed, in words.
std::string WriteFailureText(const Result& result, const std::string& port);
// "the adapter of PORT was removed (the system's reason)".
std::string RemovalText(const Result& why, const std::string& port);
// Exit 4 naming the removal, when the link's adapter went away; false then.
bool StillPresent(DeviceLink& link, const CliOptions& o, Outcome& out, const char* what);

// Waits for the reply to `request`: exit 1 when refused, 3 when none came,
// 4 when the adapter went away meanwhile.
bool Await(DeviceLink& link, uint8_t request, const CliOptions& o, Outcome& out, const char* what);

// Sets the network settings, reads them back and compares: exit 1 when the
// device shows other values.
bool ApplyNetwork(DeviceLink& link, const CliOptions& o, const NetConfig& request, Outcome& out);

// Sets the password, reads it back and compares.
bool ApplyPassword(DeviceLink& link, const CliOptions& o, const std::string& gbkPassword, Outcome& out);

// The device's MAC into out.device, from one ifconfig: read only until the
// first interface's address line has come, at most --timeout. An answer
// without one gives no MAC and a note, not a failure; a write that fails or
// a refusal fails the row as any request does.
bool ReadMac(DeviceLink& link, const CliOptions& o, Outcome& out);

// The settings the unit holds now and, when `password` is asked for, its
// password (GBK): nothing is written.
bool ReadCurrent(DeviceLink& link, const CliOptions& o, bool password, NetConfig& config, std::string& gbkPassword,
                 Outcome& out);

// Whether `shown` is what `asked` asks for; with DHCP the device keeps or
// leases its addresses, so only the flag counts.
bool SameSettings(const NetConfig& asked, const NetConfig& shown);

// The facts as a single command's JSON has them (read_back, mac, ...).
void AddFactsJson(const DeviceFacts& facts, nlohmann::json& doc);

nlohmann::json SettingsJson(const NetConfig& config);
std::vector<std::string> SettingsLines(const NetConfig& config);
// "dhcp" or "static A B C": the settings in one line, wherever they are shown.
std::string SettingsSummary(bool dhcp, uint32_t ip, uint32_t mask, uint32_t gateway);
std::string SettingsSummary(const NetConfig& config);
