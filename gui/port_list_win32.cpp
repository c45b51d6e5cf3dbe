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

uint32_t SelectedPortNumber()
{
    const LRESULT index = SendMessageW(configDialog.portList, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR || static_cast<uint32_t>(index) >= configDialog.ports.count)
        return 0;
    return configDialog.ports.numbers[static_cast<size_t>(index)];
}

void RefreshPortList()
{
    const uint32_t selected = SelectedPortNumber();
    configDialog.ports = EnumeratePorts();
    SendMessageW(configDialog.portList, CB_RESETCONTENT, 0, 0);
    WPARAM keep = 0;   // the first port, when the selected one is gone
    for (uint32_t i = 0; i < configDialog.ports.count; ++i) {
        char name[PortNameSize];
        FormatPortName(configDialog.ports.numbers[i], name, sizeof name);
        wchar_t wide[PortNameSize];
        WidenGbk(name, wide, PortNameSize);
        SendMessageW(configDialog.portList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide));
        if (configDialog.ports.numbers[i] == selected)
            keep = i;
    }
    SendMessageW(configDialog.portList, CB_SETCURSEL, keep, 0);
}

void OnDeviceChange(WPARAM event)
{
    if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE && event != DBT_DEVNODES_CHANGED)
        return;
    if (!configDialog.connected) {
        RefreshPortList();
        return;
    }
    if (ContainsComPort(EnumeratePorts(), configDialog.openPort))
        return;
    // The open port's adapter was pulled: let the port go now, as a lost link
    // does, rather than write into it until the link runs out ten seconds on.
    SetStatusText(texts::NotConnected);
    ClickPortToggle();
    RefreshPortList();
}
