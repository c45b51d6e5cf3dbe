// The identities of the Ports class's present devices, from SetupAPI's
// device records: nothing is opened. Each device's own key holds PortName
// ("COM7"), which joins it to its COM number; its properties give the rest.
// A port device that is a function of a USB device (FTDIBUS\..., a composite
// device's USB\...&MI_nn\...) has only made-up instance ids and the bus
// driver's location: its USB parent knows the serial number and the socket.
#include "link/port_identity_win32.h"

#include <windows.h>
#include <cfgmgr32.h>
#include <devguid.h>
#include <setupapi.h>

namespace {

constexpr DWORD WideTextSize = 512;   // device ids hold at most 200; names and paths are short

struct WideText {
    wchar_t text[WideTextSize];
};

// UTF-8, never the ANSI code page: a Chinese friendly name must survive an
// English Windows. Cut at a character boundary when it does not fit.
void ToUtf8(const wchar_t* wide, char* out, size_t capacity)
{
    char text[WideTextSize * 3];
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    CopyIdentityText(n > 0 ? text : "", out, capacity);
}

// A property's text; for a REG_MULTI_SZ its first string. Empty when the
// device has none.
void DeviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property, WideText& out)
{
    out = WideText{};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, reinterpret_cast<BYTE*>(out.text),
                                           sizeof out.text - sizeof(wchar_t), nullptr) ||
        (type != REG_SZ && type != REG_MULTI_SZ))
        out = WideText{};
}

void NodeProperty(DEVINST node, ULONG property, WideText& out)
{
    out = WideText{};
    ULONG type = 0, bytes = sizeof out.text - sizeof(wchar_t);
    if (CM_Get_DevNode_Registry_PropertyW(node, property, &type, out.text, &bytes, 0) != CR_SUCCESS ||
        (type != REG_SZ && type != REG_MULTI_SZ))
        out = WideText{};
}

// The COM number in the device's PortName value, 0 when it has none.
uint32_t PortNumber(HDEVINFO set, SP_DEVINFO_DATA& device)
{
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE)
        return 0;
    wchar_t name[PortNameSize] = {};
    DWORD type = 0, bytes = sizeof name - sizeof(wchar_t);
    const LONG read = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &bytes);
    RegCloseKey(key);
    char ascii[PortNameSize];
    ToUtf8(read == ERROR_SUCCESS && type == REG_SZ ? name : L"", ascii, sizeof ascii);
    return ComPortNumber(ascii);
}

// What a USB port device says of itself: ids from its hardware id (else
// its instance id), a serial number only if its instance id holds a real
// one, and its location.
void ReadUsbPortDevice(HDEVINFO set, SP_DEVINFO_DATA& device, const char* instanceId, PortIdentity& id)
{
    WideText wide;
    char hardwareId[WideTextSize];
    DeviceProperty(set, device, SPDRP_HARDWAREID, wide);
    ToUtf8(wide.text, hardwareId, sizeof hardwareId);
    if (!UsbIdsFromDeviceId(hardwareId, id.vid, id.pid))
        UsbIdsFromDeviceId(instanceId, id.vid, id.pid);
    UsbSerialFromInstanceId(instanceId, id.serial, sizeof id.serial);
    DeviceProperty(set, device, SPDRP_LOCATION_PATHS, wide);
    if (wide.text[0] == L'\0')
        DeviceProperty(set, device, SPDRP_LOCATION_INFORMATION, wide);
    ToUtf8(wide.text, id.location, sizeof id.location);
}

// Serial, ids and location from the USB device above a function's port
// device, each where the parent gives it; the rest stays as the port device
// said. Nothing changes where the system gives no USB parent.
void DescribeFromUsbParent(DEVINST child, PortIdentity& id)
{
    DEVINST parent = 0;
    WideText wide{};
    if (CM_Get_Parent(&parent, child, 0) != CR_SUCCESS ||
        CM_Get_Device_IDW(parent, wide.text, WideTextSize - 1, 0) != CR_SUCCESS)
        return;
    char parentId[WideTextSize];
    ToUtf8(wide.text, parentId, sizeof parentId);
    if (TransportFromInstanceId(parentId) != Transport::Usb)
        return;
    char vid[UsbIdSize], pid[UsbIdSize];
    if (UsbIdsFromDeviceId(parentId, vid, pid)) {
        CopyIdentityText(vid, id.vid, sizeof id.vid);
        CopyIdentityText(pid, id.pid, sizeof id.pid);
    }
    char text[WideTextSize];
    UsbSerialFromInstanceId(parentId, text, sizeof text);
    if (text[0] != '\0')
        CopyIdentityText(text, id.serial, sizeof id.serial);
    NodeProperty(parent, CM_DRP_LOCATION_PATHS, wide);
    if (wide.text[0] == L'\0')
        NodeProperty(parent, CM_DRP_LOCATION_INFORMATION, wide);
    if (wide.text[0] != L'\0')
        ToUtf8(wide.text, id.location, sizeof id.location);
}

PortIdentity Describe(HDEVINFO set, SP_DEVINFO_DATA& device, uint32_t number)
{
    PortIdentity id;
    id.described = true;
    WideText wide;
    char text[WideTextSize];
    DeviceProperty(set, device, SPDRP_FRIENDLYNAME, wide);
    if (wide.text[0] == L'\0')
        DeviceProperty(set, device, SPDRP_DEVICEDESC, wide);
    ToUtf8(wide.text, text, sizeof text);
    DescriptionFromFriendlyName(text, number, id.description, sizeof id.description);
    DeviceProperty(set, device, SPDRP_MFG, wide);
    ToUtf8(wide.text, id.manufacturer, sizeof id.manufacturer);
    char instanceId[WideTextSize] = {};
    if (SetupDiGetDeviceInstanceIdW(set, &device, wide.text, WideTextSize - 1, nullptr))
        ToUtf8(wide.text, instanceId, sizeof instanceId);
    id.transport = TransportFromInstanceId(instanceId);
    if (id.transport == Transport::Usb) {
        ReadUsbPortDevice(set, device, instanceId, id);
        if (IdentityFromUsbParent(instanceId))
            DescribeFromUsbParent(device.DevInst, id);
    }
    return id;
}

// The listed port with COM number `number`, if any.
ListedPort* PortNumbered(SerialPortList& list, uint32_t number)
{
    for (uint32_t i = 0; i < list.count; ++i)
        if (list.ports[i].number == number)
            return &list.ports[i];
    return nullptr;
}

}  // namespace

Result DescribeComPorts(SerialPortList& list)
{
    for (uint32_t i = 0; i < list.count; ++i)
        list.ports[i].identity = PortIdentity{};
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return Failure(Status::Failed, "SetupDiGetClassDevsW", static_cast<int32_t>(GetLastError()));
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    DWORD index = 0;
    for (; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        const uint32_t number = PortNumber(set, device);
        // A device whose port SERIALCOMM does not list (yet) describes nothing.
        if (ListedPort* port = number != 0 ? PortNumbered(list, number) : nullptr)
            port->identity = Describe(set, device, number);
    }
    const DWORD error = GetLastError();
    SetupDiDestroyDeviceInfoList(set);
    if (error != ERROR_NO_MORE_ITEMS)
        return Failure(Status::Failed, "SetupDiEnumDeviceInfo", static_cast<int32_t>(error));
    return Success;
}
