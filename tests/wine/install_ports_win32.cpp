// qv-install-ports.exe: puts Ports-class devices into a Wine prefix, or takes
// them out, for the Wine tests of the programs that read them.
//   qv-install-ports add COMn INSTANCE_ID FRIENDLY_NAME LOCATION MANUFACTURER [COMn ...]...
//   qv-install-ports remove INSTANCE_ID...
// "-" leaves a text out. The hardware id is the instance id without its last
// part. Exit 0 when everything was done.
#include <string>

#include "tests/wine/port_install_win32.h"

namespace {

const wchar_t* Text(const wchar_t* arg) { return std::wstring(arg) == L"-" ? nullptr : arg; }

bool Add(wchar_t** port)
{
    const std::wstring id = port[1];
    std::wstring hardwareIds = id.substr(0, id.rfind(L'\\'));
    hardwareIds.push_back(L'\0');
    const InstalledPort installed{port[1], Text(port[2]), nullptr, hardwareIds.c_str(), Text(port[3]), Text(port[4]),
                                  static_cast<uint32_t>(std::wcstoul(port[0] + 3, nullptr, 10))};
    RemovePort(installed.id);   // left by a run that died half-way
    HDEVINFO set = SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_PORTS, nullptr);
    const bool done = set != INVALID_HANDLE_VALUE && InstallPort(set, installed);
    SetupDiDestroyDeviceInfoList(set);
    return done;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring verb = argc >= 2 ? argv[1] : L"";
    const int each = verb == L"add" ? 5 : 1;
    if ((verb != L"add" && verb != L"remove") || argc < 2 + each || (argc - 2) % each != 0)
        return 2;
    int failed = 0;
    for (int i = 2; i < argc; i += each)
        failed += (verb == L"add" ? Add(argv + i) : RemovePort(argv[i])) ? 0 : 1;
    return failed == 0 ? 0 : 1;
}
