// The port list follows the hardware: it is filled from the system's list at
// start, each time the technician drops it down, and when the system
// announces a device change, but only while no port is open; while one is
// open the list stays locked and unchanged. An entry reads "COM7: USB-SERIAL
// CH340" when the system describes the port's device, "COM7" otherwise;
// choosing, keeping the selection and opening all go by the port's number.
#include "gui/port_list_win32.h"

#include <dbt.h>

#include <cstdio>

#include "gui/config_dialog_win32.h"
#include "gui/dialog_commands_win32.h"
#include "gui/resource.h"
#include "gui/window_text_win32.h"
#include "link/com_ports_win32.h"
#include "link/port_list.h"

namespace {

constexpr size_t EntryTextSize = PortNameSize + IdentityTextSize + 2;

// "COMn", and ": description" when the system gives one; UTF-8 from the
// system's records, so converted as such. On the dialog's thread, in fixed
// buffers: the list is redrawn on every device change.
void EntryText(const ListedPort& port, wchar_t* out, size_t capacity)
{
    char description[IdentityTextSize];
    IdentityText(port.identity, IdentityDetail::Description, description, sizeof description);
    char text[EntryTextSize];
    std::snprintf(text, sizeof text, description[0] != '\0' ? "%s: %s" : "%s", port.name, description);
    if (MultiByteToWideChar(CP_UTF8, 0, text, -1, out, static_cast<int>(capacity)) == 0)
        out[0] = L'\0';
}

// The dropped list is as wide as its longest entry, so no description is
// cut; never narrower than the box itself.
void FitDroppedWidth(const ConfigDialogState& d)
{
    HDC dc = GetDC(d.portList.box);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(d.portList.box, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    const LRESULT count = SendMessageW(d.portList.box, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[EntryTextSize] = {};
        const LRESULT length = SendMessageW(d.portList.box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        SIZE extent{};
        GetTextExtentPoint32W(dc, text, static_cast<int>(length > 0 ? length : 0), &extent);
        widest = extent.cx > widest ? extent.cx : widest;
    }
    SelectObject(dc, previous);
    ReleaseDC(d.portList.box, dc);
    const LONG margins = 2 * GetSystemMetrics(SM_CXEDGE) + GetSystemMetrics(SM_CXVSCROLL) + 2 * GetSystemMetrics(SM_CXBORDER) + 8;
    RECT box{};
    GetWindowRect(d.portList.box, &box);
    const LONG wanted = widest + margins;
    SendMessageW(d.portList.box, CB_SETDROPPEDWIDTH, wanted > box.right - box.left ? wanted : box.right - box.left, 0);
}

}  // namespace

void InitPortList(ConfigDialogState& d)
{
    d.portList.box = GetDlgItem(d.window, IDC_PORT_LIST);
    RefreshPortList(d);
}

uint32_t SelectedPortNumber(const ConfigDialogState& d)
{
    const LRESULT index = SendMessageW(d.portList.box, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR || static_cast<uint32_t>(index) >= d.portList.ports.count)
        return 0;
    return d.portList.ports.ports[static_cast<size_t>(index)].number;
}

void RefreshPortList(ConfigDialogState& d)
{
    const uint32_t selected = SelectedPortNumber(d);
    // Into the dialog's own list: no copy of it is made.
    ListPorts(d.portList.ports);
    SendMessageW(d.portList.box, CB_RESETCONTENT, 0, 0);
    WPARAM keep = 0;   // the first port, when the selected one is gone
    for (uint32_t i = 0; i < d.portList.ports.count; ++i) {
        wchar_t entry[EntryTextSize];
        EntryText(d.portList.ports.ports[i], entry, EntryTextSize);
        SendMessageW(d.portList.box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
        if (d.portList.ports.ports[i].number == selected)
            keep = i;
    }
    SendMessageW(d.portList.box, CB_SETCURSEL, keep, 0);
    FitDroppedWidth(d);
}

void OnDeviceChange(ConfigDialogState& d, WPARAM event)
{
    if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE && event != DBT_DEVNODES_CHANGED)
        return;
    if (!PortIsOpen(d.device)) {
        RefreshPortList(d);
        return;
    }
    // Whether the open port is still there needs SERIALCOMM alone; the list
    // itself stays as it is while the port is open.
    if (ContainsComPort(ReadSerialComm(), d.device.openPort))
        return;
    // The open port's adapter was pulled: let the port go now, as a lost link
    // does, rather than write into it until the link runs out ten seconds on.
    CloseOpenPort(d);
    RefreshPortList(d);
}
