// The ports of this machine as the commands use them (link/port_list.h read
// once, when a command starts), the path a port name is opened by, and what
// the system says of a port as JSON: the one place an identity becomes JSON.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "link/port_list.h"

// The ports the system lists now, each with its identity; `reading` gets
// why the list could not be read whole, if asked.
std::vector<ListedPort> PresentPorts(Result* reading = nullptr);

// {"description", "manufacturer", "transport", "vid", "pid", "serial",
// "location"}, null where the system gives nothing.
nlohmann::json IdentityJson(const PortIdentity& identity);

// The identity in one line, for the tables: "USB Serial Port  0403:6001
// serial=A50285BI  location=1-1.2"; empty when the system describes nothing.
std::string AdapterText(const PortIdentity& identity);

// Windows: "COM3" -> "\\.\COM3" (a name that already is a device path is
// kept); Linux: the path itself.
std::string DevicePathOf(const std::string& port);
