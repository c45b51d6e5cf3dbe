// A port as a sheet or a command line names it: by its name (COM3,
// /dev/ttyUSB0), or by its adapter, whatever number the system gave it
// today: `serial=S` (the USB serial number) or `location=L` (the USB socket,
// exactly as `ports` prints it). A selector is resolved once, when the
// command starts, among the ports present.
#pragma once

#include <string>
#include <vector>

#include "cli/ports.h"

struct PortChoice {
    int code = 0;              // ExitDone; ExitPort when nothing matches; ExitUsage when several do
    std::string port;          // the port it resolved to
    std::string problem;       // why not, naming the selector and the adapters present or the candidates
};

// Whether `named` names an adapter (serial=..., location=...) rather than a port.
bool IsAdapterSelector(const std::string& named);

// A port name passes as it is (a path on Linux need not be listed); a
// selector must match exactly one of `present`.
PortChoice ChoosePort(const std::string& named, const std::vector<ListedPort>& present);

// "COM7 (serial=A50285BI)" for a selector, the port alone otherwise.
std::string PortAndSelector(const std::string& port, const std::string& named);
