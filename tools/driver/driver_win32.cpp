// quorvane-driver.exe: works the real quorvane.exe from outside, as a
// technician would, in the same Wine prefix. Used by `make run` without a
// display and by `make soak`.
//
//   quorvane-driver.exe demo QUORVANE.EXE SHOT.BMP
//       open the port, wait for the settings and the password, run ifconfig,
//       save a picture of the dialog, close the program.
//   quorvane-driver.exe soak QUORVANE.EXE SECONDS DROP_FOR MARKER LOSSES
//       commands, settings written and read back, the port closed and opened
//       again, for SECONDS; the first 45 s after the opening are left quiet.
//       MARKER is written once the program runs; the device is stopped from
//       outside once for DROP_FOR seconds, so the link must drop and come
//       back. Every link loss is written to LOSSES ("<wall-clock ms> <s>" a
//       line) for make soak to judge against the device's frame log. Prints
//       a summary and exits 1 on a crash, a hang, wrong output, or growth of
//       memory or handles after warm-up.
//
// Everything goes through window messages to the other process: clicks are
// posted (a click may open a modal box, and a sent message would then wait
// for it), texts are read with WM_GETTEXT and LB_GETTEXT, which Windows and
// Wine carry across processes, and message boxes are answered like a
// technician would, with OK.
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gui/resource.h"
#include "link/platform.h"
#include "wire/gbk_text.h"
#include "gui/texts.h"

namespace {

PROCESS_INFORMATION program{};
HWND dialog = nullptr;
unsigned failures = 0;

// The soak's rounds would notice a lost link only between their steps,
// seconds late at times, and the judge needs its moment to a fraction of a
// tick. So a thread of its own reads the status line and the port button ten
// times a second. The status leaves "connected" at the very tick the link is
// lost, unless the driver closes the port itself; the port button follows
// only once the port is closed, which takes Wine about two seconds. A
// release after the no-answer message (neither first reply came within three
// ticks of an opening; AnswerBoxes notes it here) is counted apart.
struct PortWatch {
    std::atomic<bool> running{true};
    std::atomic<bool> driverCloses{false};   // set before the driver's own close, cleared once open again
    std::atomic<bool> seenOpen{false};       // the port button and the status
    std::atomic<bool> seenConnected{false};  // as the thread last saw them
    std::atomic<ULONGLONG> openedAt{0};
    std::atomic<bool> noAnswerShown{false};  // since the last opening
    std::atomic<unsigned> firstContactReleases{0};
    ULONGLONG soakStart = 0;
    // Wall-clock ms and seconds into the soak; read once the thread has ended.
    std::vector<std::pair<int64_t, int>> losses;
} watch;

void Fail(const char* what, const std::string& detail = "")
{
    ++failures;
    std::printf("FAIL: %s %s\n", what, detail.c_str());
    std::fflush(stdout);
}

ULONGLONG Now() { return GetTickCount64(); }

HWND Item(int id) { return GetDlgItem(dialog, id); }

// The dialog's texts are compared with its own GBK constants: read as wide
// text and converted from code page 936 by name, so the driver works in any
// locale, as the dialog does.
std::string Gbk(const wchar_t* wide)
{
    char text[2200] = {};
    WideCharToMultiByte(GbkCodePage, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

std::string Text(int id)
{
    wchar_t text[1100] = {};
    SendMessageTimeoutW(Item(id), WM_GETTEXT, 1100, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
    return Gbk(text);
}

void Click(int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
}

bool Alive() { return WaitForSingleObject(program.hProcess, 0) == WAIT_TIMEOUT; }

// The program's own message boxes, answered with OK; returns their texts.
std::vector<std::string> AnswerBoxes()
{
    struct Found {
        DWORD pid;
        std::vector<HWND> boxes;
    } found{program.dwProcessId, {}};
    EnumWindows(
        [](HWND w, LPARAM out) -> BOOL {
            auto* f = reinterpret_cast<Found*>(out);
            char cls[16] = {};
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            GetClassNameA(w, cls, sizeof cls);
            if (pid == f->pid && std::strcmp(cls, "#32770") == 0 && IsWindowVisible(w))
                f->boxes.push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    std::vector<std::string> said;
    for (HWND box : found.boxes) {
        wchar_t text[256] = {};
        GetWindowTextW(GetDlgItem(box, 0xFFFF), text, 256);
        said.push_back(Gbk(text));
        if (said.back() == texts::NoAnswer)
            watch.noAnswerShown = true;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    return said;
}

// Waits up to `ms` for `done`, answering message boxes meanwhile.
template <typename Done>
bool WaitFor(Done done, DWORD ms, std::vector<std::string>* boxes = nullptr)
{
    const ULONGLONG end = Now() + ms;
    for (;;) {
        for (const std::string& t : AnswerBoxes()) {
            if (boxes != nullptr)
                boxes->push_back(t);
        }
        if (done())
            return true;
        if (Now() >= end || !Alive())
            return false;
        Sleep(50);
    }
}

bool Connected() { return Text(IDC_STATUS) == texts::Connected && Text(IDC_PORT_TOGGLE) == texts::ClosePortCaption; }
bool PortOpen() { return Text(IDC_PORT_TOGGLE) == texts::ClosePortCaption; }

// LB_GETTEXT goes as the wide message: Wine carries the ANSI one across
// processes as wide text, and the caller would see its first letter only.
std::vector<std::string> OutputLines()
{
    std::vector<std::string> lines;
    HWND list = Item(IDC_OUTPUT);
    DWORD_PTR count = 0;
    SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count);
    for (DWORD_PTR i = 0; i < count; ++i) {
        wchar_t wide[1100] = {};
        SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide), SMTO_ABORTIFHUNG, 5000, nullptr);
        lines.push_back(Gbk(wide));
    }
    return lines;
}

bool StartProgram(const char* path)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(path, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &program))
        return false;
    HWND window = nullptr;
    for (int i = 0; i < 400 && dialog == nullptr; ++i) {
        Sleep(50);
        window = FindWindowA(QV_MAIN_WINDOW_CLASS, QV_MAIN_WINDOW_TITLE);
        if (window != nullptr)
            dialog = FindWindowExA(window, nullptr, "#32770", nullptr);
    }
    return dialog != nullptr;
}

void StopProgram()
{
    PostMessageA(GetParent(dialog), WM_CLOSE, 0, 0);
    if (WaitForSingleObject(program.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(program.hProcess, 1);
}

bool OpenPortAndWait()
{
    if (!PortOpen())
        Click(IDC_PORT_TOGGLE);
    return WaitFor([] { return Connected() && IsWindowEnabled(Item(IDC_DHCP)); }, 8000);
}

// Runs a typed command and waits until the output has been quiet for a while.
std::vector<std::string> RunCommand(const std::string& command, DWORD quietMs)
{
    wchar_t wide[1100] = {};
    MultiByteToWideChar(GbkCodePage, 0, command.c_str(), -1, wide, 1100);
    SendMessageTimeoutW(Item(IDC_COMMAND), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
    Click(IDC_EXECUTE);
    // Quiet counts only while the dialog answers at once. Under Xvfb, which
    // has no window manager, Wine holds the dialog's thread for 2 s with
    // each message box (winex11's wait_for_withdrawn_state times out); lines
    // that came meanwhile are still on their way to the list, and the next
    // command would clear it before they are in.
    constexpr ULONGLONG HeldMs = 250;
    size_t seen = 0;
    ULONGLONG changed = Now();
    WaitFor([&] {
        const ULONGLONG asked = Now();
        const size_t n = OutputLines().size();
        if (n != seen || Now() - asked > HeldMs) {
            seen = n;
            changed = Now();
        }
        return seen > 0 && Now() - changed >= quietMs;
    }, 10000);
    return OutputLines();
}

// With `ports`, the port list is left dropped down over the connected
// dialog, so the picture shows the adapters as the system names them.
int Demo(const char* exe, const char* shot, bool ports)
{
    if (!StartProgram(exe))
        return 2;
    bool ok = OpenPortAndWait();
    Click(IDC_QUERY_NETWORK);
    ok = WaitFor([] { return OutputLines().size() > 3; }, 5000) && ok;
    RECT r{};
    GetWindowRect(dialog, &r);
    if (ports) {
        Click(IDC_PORT_TOGGLE);   // closed: the list takes input again
        ok = WaitFor([] { return !PortOpen(); }, 5000) && ok;
        SendMessageW(Item(IDC_PORT_LIST), CB_SHOWDROPDOWN, TRUE, 0);
        // The dropped list is a top-level window of its own. Not found by
        // GetComboBoxInfo: Wine hands its pointer to the other process as it
        // stands, and the answer lands on that process's stack.
        RECT dropped{};
        for (HWND w = FindWindowExW(nullptr, nullptr, L"ComboLBox", nullptr); w != nullptr;
             w = FindWindowExW(nullptr, w, L"ComboLBox", nullptr))
            if (IsWindowVisible(w) && GetWindowRect(w, &dropped))
                UnionRect(&r, &r, &dropped);
    }
    Sleep(1000);
    // The dialog as it stands on the screen, for the README and the newcomer.
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER info{sizeof info, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<BYTE> pixels(static_cast<size_t>((w * 3 + 3) & ~3) * h);
    GetDIBits(memory, bitmap, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    BITMAPFILEHEADER file{0x4D42, 0, 0, 0, sizeof(BITMAPFILEHEADER) + sizeof info};
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    if (FILE* f = std::fopen(shot, "wb")) {
        std::fwrite(&file, sizeof file, 1, f);
        std::fwrite(&info, sizeof info, 1, f);
        std::fwrite(pixels.data(), 1, pixels.size(), f);
        std::fclose(f);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    StopProgram();
    return ok ? 0 : 1;
}

struct Usage {
    SIZE_T privateBytes;
    DWORD handles, gdi, user;
};

Usage Sample()
{
    Usage u{};
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (K32GetProcessMemoryInfo(program.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
        u.privateBytes = memory.PrivateUsage;
    GetProcessHandleCount(program.hProcess, &u.handles);
    u.gdi = GetGuiResources(program.hProcess, GR_GDIOBJECTS);
    u.user = GetGuiResources(program.hProcess, GR_USEROBJECTS);
    return u;
}

bool CommandsEnabled() { return IsWindowEnabled(Item(IDC_EXECUTE)) != FALSE; }

constexpr int IdleSeconds = 45;
// Right after an opening both first replies may have been lost to noise or
// corruption; the no-answer message and the release are then right.
constexpr ULONGLONG JustOpenedMs = 6000;

DWORD WINAPI WatchPort(void*)
{
    bool wasOpen = false, wasConnected = false;
    while (watch.running) {
        // GetWindowText of another process's window sends it no message: the
        // text is kept for it by the system (by wineserver under Wine), so
        // the watching never wakes the utility nor skews its processor time.
        wchar_t button[64] = {}, status[64] = {};
        if (GetWindowTextW(Item(IDC_PORT_TOGGLE), button, 64) > 0 && GetWindowTextW(Item(IDC_STATUS), status, 64) > 0) {
            const bool open = Gbk(button) == texts::ClosePortCaption;
            const bool connected = Gbk(status) == texts::Connected;
            watch.seenOpen = open;
            watch.seenConnected = connected;
            if (wasConnected && !connected && !watch.driverCloses) {
                const int at = static_cast<int>((Now() - watch.soakStart) / 1000);
                watch.losses.emplace_back(WallClockMilliseconds(), at);
                std::printf("soak: link lost at %d s\n", at);
                std::fflush(stdout);
            }
            if (wasOpen && !open && !watch.driverCloses && watch.noAnswerShown.exchange(false))
                ++watch.firstContactReleases;
            wasOpen = open;
            wasConnected = connected;
        }
        Sleep(100);
    }
    return 0;
}

// A posted click is handled later: wait for the port to be open before
// judging it, or the next round would click again and close it.
void OpenForSoak()
{
    if (!PortOpen()) {
        Click(IDC_PORT_TOGGLE);
        WaitFor([] { return PortOpen(); }, 3000);
    }
    watch.openedAt = Now();
    watch.noAnswerShown = false;
    watch.driverCloses = false;
    WaitFor([] { return CommandsEnabled() || !PortOpen(); }, 6000);
}

// Once the watcher has seen the status leave "connected", the next
// opening may clear driverCloses: a close and open quicker than its
// look would otherwise show it a drop of the status after the opening.
bool CloseForSoak(std::vector<std::string>* boxes)
{
    watch.driverCloses = true;
    Click(IDC_PORT_TOGGLE);
    const bool closed = WaitFor([] { return !PortOpen(); }, 3000, boxes);
    WaitFor([] { return !watch.seenConnected; }, 1000, boxes);
    return closed;
}

struct SoakCounts {
    unsigned cycles = 0, commands = 0, linesChecked = 0, linesMissing = 0, reopens = 0, retries = 0, settings = 0,
             verified = 0, drops = 0, notices = 0, noAnswer = 0;
};

// The program's use of memory and handles: the first sample after the
// warm-up, and the most seen since.
struct UsageWatch {
    int warmUp = 0;
    bool based = false;
    Usage base{}, worst{};
};

struct SoakRun {
    ULONGLONG start = 0;
    SoakCounts counts;
    UsageWatch usage;
    bool linkWasDown = false, reopenDue = false;
    int Elapsed() const { return static_cast<int>((Now() - start) / 1000); }
};

void SampleUsage(UsageWatch& u, int elapsed)
{
    const Usage now = Sample();
    if (!u.based && elapsed >= u.warmUp) {
        u.base = u.worst = now;
        u.based = true;
    }
    if (!u.based)
        return;
    u.worst.privateBytes = now.privateBytes > u.worst.privateBytes ? now.privateBytes : u.worst.privateBytes;
    u.worst.handles = now.handles > u.worst.handles ? now.handles : u.worst.handles;
    u.worst.gdi = now.gdi > u.worst.gdi ? now.gdi : u.worst.gdi;
    u.worst.user = now.user > u.worst.user ? now.user : u.worst.user;
}

// "echo soak-N": its echo first, then every output line the word.
std::vector<std::string> EchoRound(SoakCounts& c)
{
    const std::string word = "soak-" + std::to_string(c.cycles);
    const std::vector<std::string> lines = RunCommand("echo " + word, 600);
    ++c.commands;
    if (lines.empty() || lines[0] != "echo " + word)
        Fail("the command's echo is not the first line", word);
    for (size_t i = 1; i < lines.size(); ++i) {
        ++c.linesChecked;
        if (lines[i] != word)
            Fail("wrong output line", "'" + lines[i] + "' for " + word);
    }
    c.linesMissing += lines.size() < 2 ? 1 : 0;
    return lines;
}

// New addresses, then ifconfig must show them: a lost reply may hide the
// notice or the output, never show other values.
void WriteAddresses(SoakCounts& c, std::vector<std::string>& boxes)
{
    const DWORD ip = 0x0A000000u | ((c.cycles & 0xFF) << 8) | 7;
    char dotted[20];
    std::snprintf(dotted, sizeof dotted, "10.0.%u.7", c.cycles & 0xFF);
    if (SendMessageA(Item(IDC_DHCP), BM_GETCHECK, 0, 0) != 0) {
        SendMessageA(Item(IDC_DHCP), BM_SETCHECK, BST_UNCHECKED, 0);
        Click(IDC_DHCP);
    }
    SendMessageTimeoutA(Item(IDC_IP_ADDRESS), IPM_SETADDRESS, 0, ip, SMTO_ABORTIFHUNG, 5000, nullptr);
    Click(IDC_SET_NETWORK);
    ++c.settings;
    WaitFor([&] { return !boxes.empty(); }, 2000, &boxes);
    // eth0's address line, the one with a broadcast address (it may have
    // been lost; lo's has none).
    for (const std::string& t : RunCommand("ifconfig", 600)) {
        if (t.find("inet addr:") != std::string::npos && t.find("Bcast:") != std::string::npos) {
            if (t.find(std::string("addr:") + dotted + " ") != std::string::npos)
                ++c.verified;
            else
                Fail("ifconfig shows other addresses", t + " after " + dotted);
            break;
        }
    }
}

void CountBoxes(SoakCounts& c, const std::vector<std::string>& boxes)
{
    for (const std::string& t : boxes) {
        if (t == texts::NetConfigApplied)
            ++c.notices;
        else if (t == texts::NoAnswer && Now() - watch.openedAt < JustOpenedMs)
            ++c.noAnswer;
        else
            Fail("unexpected message box", t);
    }
}

// The port found closed or half open: opened again, as a technician would.
// True when the round went no further.
bool ReopenedAfterLoss(SoakRun& run, std::vector<std::string>& boxes)
{
    if (!PortOpen()) {
        // The utility released the port itself. Opened again before the
        // watcher has seen it closed, a release could go unnoted.
        WaitFor([] { return !watch.seenOpen; }, 1000);
        run.linkWasDown = true;
        OpenForSoak();
        return true;
    }
    if (!CommandsEnabled()) {
        // The password reply of the opening was lost: close and open again.
        ++run.counts.retries;
        CloseForSoak(&boxes);
        OpenForSoak();
        return true;
    }
    if (run.linkWasDown) {
        ++run.counts.drops;
        run.linkWasDown = false;
    }
    return false;
}

// One round; false when the dialog stopped answering.
bool SoakRound(SoakRun& run)
{
    SoakCounts& c = run.counts;
    ++c.cycles;
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored)) {
        Fail("the dialog did not answer within 5 s");
        return false;
    }
    std::vector<std::string> boxes = AnswerBoxes();
    if (ReopenedAfterLoss(run, boxes))
        return true;
    const std::vector<std::string> lines = EchoRound(c);
    if (c.cycles % 5 == 0)
        WriteAddresses(c, boxes);
    // The planned close and open waits for a round whose command was
    // answered: while replies are missing the link may be on its way
    // down, and an opening would restart the countdown and hide the
    // loss from the judge (the stop of the device among them).
    run.reopenDue = run.reopenDue || c.cycles % 12 == 0;
    if (run.reopenDue && lines.size() >= 2) {
        run.reopenDue = false;
        if (!CloseForSoak(&boxes))
            Fail("closing the port");
        OpenForSoak();
        ++c.reopens;
    }
    CountBoxes(c, boxes);
    SampleUsage(run.usage, run.Elapsed());
    Sleep(500);
    return true;
}

// Judged by make soak against the device's frame log, not here: whether
// a loss was the device's doing only its log can tell.
void WriteLosses(const char* path)
{
    FILE* losses = std::fopen(path, "w");
    if (losses == nullptr) {
        Fail("cannot write the link losses to", path);
        return;
    }
    for (const auto& loss : watch.losses)
        std::fprintf(losses, "%lld %d\n", static_cast<long long>(loss.first), loss.second);
    std::fclose(losses);
}

void ReportSoak(const SoakRun& run, int dropFor)
{
    const SoakCounts& c = run.counts;
    const Usage &base = run.usage.base, &worst = run.usage.worst, end = Sample();
    std::printf("soak: %d s, %u cycles, %u commands, %u output lines checked, %u answers lost whole, "
                "%u settings written (%u read back by ifconfig, %u notices), %u reopenings, "
                "%u openings repeated for a lost password reply, %u no-answer messages after an opening "
                "(%u releases), %zu link losses (%u recovered)\n",
                run.Elapsed(), c.cycles, c.commands, c.linesChecked, c.linesMissing, c.settings, c.verified, c.notices,
                c.reopens, c.retries, c.noAnswer, watch.firstContactReleases.load(), watch.losses.size(), c.drops);
    // Wine answers these for the calling process only: a zero, which no live
    // window program has, is no figure and is not printed as one.
    if (base.privateBytes == 0 && base.handles == 0 && base.gdi == 0 && base.user == 0)
        std::printf("soak: private memory, handles, GDI and USER objects of quorvane.exe: not available here "
                    "(Wine reports them for the calling process only); make soak reads memory and "
                    "descriptors from /proc\n");
    else
        std::printf("soak: after warm-up (%d s) -> end: private memory %.1f -> %.1f MiB (most %.1f), "
                    "handles %lu -> %lu (most %lu), GDI %lu -> %lu, USER %lu -> %lu\n",
                    run.usage.warmUp, base.privateBytes / 1048576.0, end.privateBytes / 1048576.0,
                    worst.privateBytes / 1048576.0, base.handles, end.handles, worst.handles, base.gdi, end.gdi,
                    base.user, end.user);
    if (dropFor > 0 && c.drops == 0)
        Fail("the link did not drop and come back while the device was stopped");
    if (base.privateBytes != 0 && worst.privateBytes > base.privateBytes + 4 * 1048576)
        Fail("private memory grew by more than 4 MiB after warm-up");
    if (base.handles != 0 && (worst.handles > base.handles + 16 || worst.gdi > base.gdi + 8 || worst.user > base.user + 8))
        Fail("handles grew after warm-up");
}

int Soak(const char* exe, int seconds, int dropFor, const char* marker, const char* lossesPath)
{
    if (!StartProgram(exe))
        return 2;
    SoakRun run;
    run.start = Now();
    if (FILE* f = std::fopen(marker, "w"))
        std::fclose(f);
    watch.soakStart = run.start;
    HANDLE watcher = CreateThread(nullptr, 0, WatchPort, nullptr, 0, nullptr);
    run.usage.warmUp = IdleSeconds + (seconds / 10 > 60 ? 60 : seconds / 10);
    OpenForSoak();
    // A quiet spell first, with the port open and only heartbeats on the
    // line: the idle cost is measured then, from outside.
    WaitFor([] { return false; }, IdleSeconds * 1000);
    while (run.Elapsed() < seconds && Alive() && SoakRound(run)) {
    }
    if (!Alive())
        Fail("quorvane.exe ended by itself");
    watch.driverCloses = true;
    watch.running = false;
    WaitForSingleObject(watcher, 5000);
    WriteLosses(lossesPath);
    ReportSoak(run, dropFor);
    StopProgram();
    std::printf("soak: %s\n", failures == 0 ? "passed" : "FAILED");
    return failures == 0 ? 0 : 1;
}


}  // namespace

int main(int argc, char** argv)
{
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "demo") == 0)
        return Demo(argv[2], argv[3], argc == 5 && std::strcmp(argv[4], "ports") == 0);
    if (argc == 7 && std::strcmp(argv[1], "soak") == 0)
        return Soak(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), argv[5], argv[6]);
    std::fprintf(stderr, "usage: quorvane-driver demo QUORVANE.EXE SHOT.BMP [ports]\n"
                         "       quorvane-driver soak QUORVANE.EXE SECONDS DROP_FOR MARKER LOSSES\n");
    return 2;
}
