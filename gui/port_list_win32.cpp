// The port list follows the hardware: it is filled from the system's list at
// start, each time the technician drops it down, and when the system
// announces a device change, but only while no port is open; while one is
// open the list stays locked and unchanged.
#include <windows.h>

#include <dbt.h>

#include "gui/config_dialog_win32.h"
#include "gui/texts.h"
#include "gui/window_text_win32.h"
#include "link/com_ports.h"

uint32_t SelectedPortNumber(const ConfigDialogState& d)
{
    const LRESULT index = SendMessageW(d.portList, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR || static_cast<uint32_t>(index) >= d.ports.count)
        return 0;
    return d.ports.numbers[static_cast<size_t>(index)];
}

void RefreshPortList(ConfigDialogState& d)
{
    const uint32_t selected = SelectedPortNumber(d);
    d.ports = EnumeratePorts();
    SendMessageW(d.portList, CB_RESETCONTENT, 0, 0);
    WPARAM keep = 0;   // the first port, when the selected one is gone
    for (uint32_t i = 0; i < d.ports.count; ++i) {
        char name[PortNameSize];
        FormatPortName(d.ports.numbers[i], name, sizeof name);
        wchar_t wide[PortNameSize];
        WidenGbk(name, wide, PortNameSize);
        SendMessageW(d.portList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide));
        if (d.ports.numbers[i] == selected)
            keep = i;
    }
    SendMessageW(d.portList, CB_SETCURSEL, keep, 0);
}

void OnDeviceChange(ConfigDialogState& d, WPARAM event)
{
    if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE && event != DBT_DEVNODES_CHANGED)
        return;
    if (!d.portOpen) {
        RefreshPortList(d);
        return;
    }
    if (ContainsComPort(EnumeratePorts(), d.openPort))
        return;
    // The open port's adapter was pulled: let the port go now, as a lost link
    // does, rather than write into it until the link runs out ten seconds on.
    CloseOpenPort(d);
    RefreshPortList(d);
}
