#include "link/com_ports.h"

// There are no COM names here; device paths are given by the user.
ComPortList EnumeratePorts()
{
    return ComPortList{};
}
