#include "cli/ports.h"

std::string DevicePathOf(const std::string& port)
{
    return port.rfind(DevicePathPrefix, 0) == 0 ? port : DevicePathPrefix + port;
}
