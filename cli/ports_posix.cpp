#include "cli/ports.h"

std::string DevicePathOf(const std::string& port)
{
    return port;
}
