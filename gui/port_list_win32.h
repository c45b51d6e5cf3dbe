// The port list (port_list_win32.cpp): the drop-down of the system's COM
// ports, each with what the system says of it. User-interface thread only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "link/com_ports.h"
#include "link/port_identity.h"

struct ConfigDialogState;

// Written by port_list_win32.cpp only.
struct DialogPortList {
    HWND box = nullptr;
    ComPortList ports{};              // as the box shows them, in its order
    ComPortIdentities identities{};   // what the system says of them, by COM number
};

void InitPortList(ConfigDialogState& d);                   // at initialisation: the box, filled
void RefreshPortList(ConfigDialogState& d);                // the system's list; the selection kept if it can be
uint32_t SelectedPortNumber(const ConfigDialogState& d);   // 0 when the list is empty
void OnDeviceChange(ConfigDialogState& d, WPARAM event);   // WM_DEVICECHANGE, passed on by the main window
