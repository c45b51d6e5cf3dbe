// The steps the device commands are made of, shared by show/set/passwd/exec
// and by a provision worker. A step that fails has filled the Outcome.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/cli/cli.h"
#include "protocol/device_client.h"

// Opens -p PORT (and the trace, if asked); exit 4 with the OS reason.
bool OpenDevice(const CliOptions& o, Outcome& out);

// Waits for the reply to `request`: exit 1 when refused, 3 when none came.
bool Await(uint8_t request, const CliOptions& o, Outcome& out, const char* what);

// Sets the network settings, reads them back and compares: exit 1 when the
// device shows other values.
bool ApplyNetwork(const CliOptions& o, const NetworkRequest& request, Outcome& out);

// Sets the password, reads it back and compares.
bool ApplyPassword(const CliOptions& o, const std::string& gbkPassword, Outcome& out);

nlohmann::json SettingsJson(const NetConfig& config);
nlohmann::json RequestJson(const NetworkRequest& request);
std::vector<std::string> SettingsLines(const NetConfig& config);
std::string SettingsSummary(bool dhcp, uint32_t ip, uint32_t mask, uint32_t gateway);

// A worker's progress line on stdout: {"progress":"network"}.
void Progress(const char* stage);
