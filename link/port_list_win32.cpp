// The port list on Windows: the ports SERIALCOMM lists, each described by
// SetupAPI. A port is a Bluetooth one when its driver's name says so or
// when its device sits on the Bluetooth enumerator.
#include "link/com_ports_win32.h"
#include "link/port_identity_win32.h"
#include "link/port_list.h"

void ListPorts(SerialPortList& out)
{
    const ComPortList listed = ReadSerialComm();
    out.count = 0;
    out.reading = listed.reading;
    for (uint32_t i = 0; i < listed.count; ++i) {
        char name[PortNameSize];
        FormatPortName(listed.numbers[i], name, sizeof name);
        ListedPort* port = AddListedPort(out, name);
        if (port == nullptr)
            break;
        port->number = listed.numbers[i];
        port->bluetooth = listed.bluetooth[i];
    }
    const Result described = DescribeComPorts(out);
    if (Succeeded(out.reading))
        out.reading = described;
    for (uint32_t i = 0; i < out.count; ++i)
        out.ports[i].bluetooth = out.ports[i].bluetooth || out.ports[i].identity.transport == Transport::Bluetooth;
}
