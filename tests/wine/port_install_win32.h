// Ports-class devices installed as a driver's installer would: instance id,
// properties, PortName in the device's key. Wine 8 lists them as present, in
// every process of the prefix, until they are removed.
#pragma once

#include <windows.h>
#include <devguid.h>
#include <setupapi.h>

#include <cstdint>
#include <cwchar>
#include <string>

struct InstalledPort {
    const wchar_t* id;
    const wchar_t* friendly;      // null: none
    const wchar_t* desc;          // null: none
    const wchar_t* hardwareIds;   // REG_MULTI_SZ, one string with its own \0
    const wchar_t* location;      // null: none
    const wchar_t* mfg;           // null: none
    uint32_t com;
};

// A text's bytes with its terminator; a REG_MULTI_SZ of one string (written
// with its \0) ends in two.
inline DWORD TextBytes(const wchar_t* text, bool multi)
{
    return static_cast<DWORD>((std::wcslen(text) + (multi ? 2 : 1)) * sizeof(wchar_t));
}

inline bool InstallPort(HDEVINFO set, const InstalledPort& p)
{
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!SetupDiCreateDeviceInfoW(set, p.id, &GUID_DEVCLASS_PORTS, nullptr, nullptr, 0, &device))
        return false;
    const struct { DWORD property; const wchar_t* text; } properties[] = {
        {SPDRP_FRIENDLYNAME, p.friendly}, {SPDRP_DEVICEDESC, p.desc}, {SPDRP_HARDWAREID, p.hardwareIds},
        {SPDRP_LOCATION_INFORMATION, p.location}, {SPDRP_MFG, p.mfg}};
    for (const auto& v : properties)
        if (v.text != nullptr && !SetupDiSetDeviceRegistryPropertyW(set, &device, v.property,
                                     reinterpret_cast<const BYTE*>(v.text), TextBytes(v.text, v.property == SPDRP_HARDWAREID)))
            return false;
    if (!SetupDiRegisterDeviceInfo(set, &device, 0, nullptr, nullptr, nullptr))
        return false;
    HKEY key = SetupDiCreateDevRegKeyW(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr);
    if (key == INVALID_HANDLE_VALUE)
        return false;
    const std::wstring name = L"COM" + std::to_wstring(p.com);
    const LONG written = RegSetValueExW(key, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                                        TextBytes(name.c_str(), false));
    RegCloseKey(key);
    return written == ERROR_SUCCESS;
}

// True when a device of that id was there and is gone.
inline bool RemovePort(const wchar_t* id)
{
    HDEVINFO set = SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_PORTS, nullptr);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    const bool removed = SetupDiOpenDeviceInfoW(set, id, nullptr, 0, &device) && SetupDiRemoveDevice(set, &device);
    SetupDiDestroyDeviceInfoList(set);
    return removed;
}
