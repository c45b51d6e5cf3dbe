// The port list (port_list_win32.cpp): the drop-down of the system's COM
// ports, each with what the system says of it. User-interface thread only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "link/port_list.h"

struct ConfigDialogState;

// Written by port_list_win32.cpp only.
struct DialogPortList {
    HWND box = nullptr;
    SerialPortList ports{};   // as the box shows them, in its order, each with what the system says of it
};

void InitPortList(ConfigDialogState& d);                   // at initialisation: the box, filled
void RefreshPortList(ConfigDialogState& d);                // the system's list; the selection kept if it can be
uint32_t SelectedPortNumber(const ConfigDialogState& d);   // 0 when the list is empty
void OnDeviceChange(ConfigDialogState& d, WPARAM event);   // WM_DEVICECHANGE, passed on by the main window
