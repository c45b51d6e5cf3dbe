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
// that cannot be opened, or whose line settings the system refuses, is exit 4
// with the system's reason; a session the system will not start, exit 70. `supervision` is the host of the link's
// supervision (watch), or none.
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
bool ApplyNetwork(DeviceLink& link, const CliOptions& o, const NetworkRequest& request, Outcome& out);

// Sets the password, reads it back and compares.
bool ApplyPassword(DeviceLink& link, const CliOptions& o, const std::string& gbkPassword, Outcome& out);

// The device's MAC into out.doc["mac"], from one ifconfig: read only until
// the first interface's address line has come, at most --timeout. An answer
// without one gives a null MAC and a "mac_note", not a failure; a write that
// fails or a refusal fails the row as any request does.
bool ReadMac(DeviceLink& link, const CliOptions& o, Outcome& out);

nlohmann::json SettingsJson(const NetConfig& config);
nlohmann::json RequestJson(const NetworkRequest& request);
std::vector<std::string> SettingsLines(const NetConfig& config);
std::string SettingsSummary(bool dhcp, uint32_t ip, uint32_t mask, uint32_t gateway);
