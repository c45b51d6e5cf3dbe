// The dialog at the monitor's scale. The program declares per-monitor
// awareness (quorvane.manifest), so Windows no longer stretches its bitmap
// and the program draws at the monitor's DPI itself: the dialog manager
// sizes the dialog by its font at creation; a move to a monitor of another
// scale (WM_DPICHANGED, passed on by the main window) rescales the font,
// the places of the controls, the dialog and the eye images here. On a
// screen too low for the scaled window, the window is cut to the work area
// and the output list gives up the height the dialog lacks.
#include "gui/dialog_scale_win32.h"

#include <algorithm>

#include "gui/config_dialog_win32.h"
#include "gui/dialog_view_win32.h"

#include <commctrl.h>

#include "gui/resource.h"

namespace {

// The eye images' place in their button at 100 %.
constexpr int EyeWidth = 26;
constexpr int EyeHeight = 17;
constexpr int DialogFontPoints = 10;   // the template's FONT 10
// The output list keeps at least three lines of text (a line is 8 dialog
// units high) on a screen too low for the whole dialog.
constexpr int MinOutputUnits = 24;

// The eye artwork, drawn for three scales (tools/art/make_art.py); other
// scales take the next larger one, scaled down.
struct EyeArt {
    UINT dpi;
    int shown, hidden;
};
constexpr EyeArt EyeArtwork[] = {
    {96, IDB_PASSWORD_SHOWN, IDB_PASSWORD_HIDDEN},
    {144, IDB_PASSWORD_SHOWN_150, IDB_PASSWORD_HIDDEN_150},
    {192, IDB_PASSWORD_SHOWN_200, IDB_PASSWORD_HIDDEN_200},
};

// Loaded at run time: GetDpiForWindow exists from Windows 10 1607 on, and an
// import of it would keep the program from starting on anything older,
// where the manifest's fallback (system awareness) applies instead.
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using SetDialogDpiChangeBehaviorFunction = BOOL(WINAPI*)(HWND, int, int);
using SetDialogControlDpiChangeBehaviorFunction = BOOL(WINAPI*)(HWND, int, int);
constexpr int DisableAllDialogScaling = 1;     // DDC_DISABLE_ALL
constexpr int DisableControlScaling = 1 | 2;   // DCDC_DISABLE_FONT_UPDATE | DCDC_DISABLE_RELAYOUT

// Null where this Windows lacks it. Cast through void (*)(), which GCC
// takes as any function's type (-Wcast-function-type).
template <typename Function>
Function User32Function(const char* name)
{
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

// The image of `resource` at `width` x `height`: the artwork itself where it
// was drawn at that size, else scaled by HALFTONE (area averaging: a smaller
// copy stays sharp where COLORONCOLOR would drop whole rows).
HBITMAP EyeImage(HINSTANCE instance, int resource, int width, int height)
{
    HBITMAP art = LoadBitmapW(instance, MAKEINTRESOURCEW(resource));
    BITMAP size{};
    GetObjectW(art, sizeof size, &size);
    if (size.bmWidth == width && size.bmHeight == height)
        return art;
    HDC screen = GetDC(nullptr);
    HDC from = CreateCompatibleDC(screen);
    HDC to = CreateCompatibleDC(screen);
    HBITMAP scaled = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ oldFrom = SelectObject(from, art);
    HGDIOBJ oldTo = SelectObject(to, scaled);
    SetStretchBltMode(to, HALFTONE);
    SetBrushOrgEx(to, 0, 0, nullptr);   // HALFTONE asks for it
    StretchBlt(to, 0, 0, width, height, from, 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
    DeleteDC(from);
    DeleteDC(to);
    ReleaseDC(nullptr, screen);
    DeleteObject(art);
    return scaled;
}

// The template's font at `dpi`: the dialog's own (which the dialog itself
// keeps, and deletes when it goes), with the height 10 points have there.
HFONT DialogFontAt(const ConfigDialogState& d, UINT dpi)
{
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(d.window, WM_GETFONT, 0, 0)), sizeof font, &font);
    font.lfHeight = -MulDiv(DialogFontPoints, static_cast<int>(dpi), 72);
    font.lfWidth = 0;
    return CreateFontIndirectW(&font);
}

// A dialog's base units for `font`, as the dialog manager takes them: the
// average width of the Latin letters and the height of a line
// (GdiGetCharDimensions). 4 x 8 dialog units are that many pixels.
SIZE BaseUnits(HWND dialog, HFONT font)
{
    static const wchar_t letters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    HDC dc = GetDC(dialog);
    HGDIOBJ previous = SelectObject(dc, font);
    SIZE extent{};
    GetTextExtentPoint32W(dc, letters, 52, &extent);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(dialog, dc);
    return SIZE{(extent.cx / 26 + 1) / 2, metrics.tmHeight};
}

// Dialog units to pixels and back, x by 4 and y by 8 base units, each of
// left, top, width and height on its own, as the dialog manager does.
RECT Convert(const RECT& r, SIZE multiply, SIZE divide)
{
    return RECT{MulDiv(r.left, multiply.cx, divide.cx), MulDiv(r.top, multiply.cy, divide.cy),
                MulDiv(r.right, multiply.cx, divide.cx), MulDiv(r.bottom, multiply.cy, divide.cy)};
}
constexpr SIZE UnitsPerBase{4, 8};

// Wine's address control gives its fields a font of its own, 8 points at
// the system's scale, and ignores WM_SETFONT (IPADDRESS_Create): the fields
// get the dialog's font directly, so they show it at every scale and never
// a font made for another one.
void SetFieldsFont(HWND address, HFONT font)
{
    for (HWND field = GetWindow(address, GW_CHILD); field != nullptr; field = GetWindow(field, GW_HWNDNEXT))
        SendMessageW(field, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

// An address control lays out its four fields once, when it is made (Wine;
// Windows' cannot be resized either): at a new scale it is made anew in its
// place, with its address or blankness, its styles (the disabled one among
// them), its place in the Tab order and the focus if it had it.
HWND RemakeAddressControl(const ConfigDialogState& d, HWND old, const RECT& r, HFONT font)
{
    DWORD address = 0;
    const bool blank = SendMessageW(old, IPM_ISBLANK, 0, 0) != 0;
    SendMessageW(old, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
    const bool focused = IsChild(old, GetFocus());
    HWND before = GetWindow(old, GW_HWNDPREV);
    HWND made = CreateWindowExW(static_cast<DWORD>(GetWindowLongPtrW(old, GWL_EXSTYLE)), WC_IPADDRESSW, L"",
                                static_cast<DWORD>(GetWindowLongPtrW(old, GWL_STYLE)), r.left, r.top, r.right, r.bottom,
                                d.window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(GetDlgCtrlID(old))), d.instance,
                                nullptr);
    SetWindowPos(made, before != nullptr ? before : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetFieldsFont(made, font);
    if (!blank)
        SendMessageW(made, IPM_SETADDRESS, 0, static_cast<LPARAM>(address));
    DestroyWindow(old);
    if (focused)
        SetFocus(made);
    return made;
}

bool IsAddressControl(HWND control)
{
    wchar_t name[32] = {};
    GetClassNameW(control, name, 32);
    return lstrcmpiW(name, WC_IPADDRESSW) == 0;
}

int ParentClientHeight(const ConfigDialogState& d)
{
    RECT client{};
    GetClientRect(GetParent(d.window), &client);
    return client.bottom;
}

// The pixels the output list gives up for the dialog to fit `height`: what
// the dialog lacks, as far as the list can spare it.
int OutputGivenUp(const DialogScale& s, int height)
{
    const int dialogHeight = MulDiv(s.dialogUnits.cy, s.base.cy, UnitsPerBase.cy);
    const int spare = MulDiv(s.outputUnits.bottom, s.base.cy, UnitsPerBase.cy) -
                      MulDiv(MinOutputUnits, s.base.cy, UnitsPerBase.cy);
    return std::max(0, std::min(dialogHeight - height, spare));
}

// A place in pixels at the scale (left, top, width, height): the output
// list and the group box around it are shorter by what the list gives up,
// and what lies below them higher.
RECT PixelPlace(const DialogScale& s, const ControlPlace& place)
{
    RECT r = Convert(place.units, s.base, UnitsPerBase);
    const LONG outputBottom = s.outputUnits.top + s.outputUnits.bottom;
    if (place.units.top >= outputBottom)
        r.top -= s.outputGivenUp;
    else if (place.units.top + place.units.bottom >= outputBottom)
        r.bottom -= s.outputGivenUp;
    return r;
}

void SizeDialog(const ConfigDialogState& d)
{
    const DialogScale& s = d.scale;
    const RECT size = Convert(RECT{0, 0, s.dialogUnits.cx, s.dialogUnits.cy}, s.base, UnitsPerBase);
    SetWindowPos(d.window, nullptr, 0, 0, size.right, size.bottom - s.outputGivenUp,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

UINT WindowDpi(HWND window)
{
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    if (getDpiForWindow != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0)
            return dpi;
    }
    HDC dc = GetDC(window);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(window, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : BaseDpi;
}

int ScaleForDpi(int pixelsAt96, UINT dpi)
{
    return MulDiv(pixelsAt96, static_cast<int>(dpi), static_cast<int>(BaseDpi));
}

void LoadEyeImages(ConfigDialogState& d)
{
    DialogScale& s = d.scale;
    const EyeArt* art = &EyeArtwork[0];
    for (const EyeArt& a : EyeArtwork) {
        art = &a;
        if (a.dpi >= s.dpi)
            break;
    }
    const int width = ScaleForDpi(EyeWidth, s.dpi), height = ScaleForDpi(EyeHeight, s.dpi);
    DeleteObject(s.eyeShown);
    DeleteObject(s.eyeHidden);
    s.eyeShown = EyeImage(d.instance, art->shown, width, height);
    s.eyeHidden = EyeImage(d.instance, art->hidden, width, height);
}

// Windows 10 1703 and later rescale a dialog of a per-monitor (v2) program
// by themselves, the top-level ones at least; this dialog is rescaled here
// alone, the same on every Windows, so theirs is switched off.
void RecordDialogLayout(ConfigDialogState& d)
{
    DialogScale& s = d.scale;
    s.dpi = s.createdDpi = WindowDpi(d.window);
    // The template's numbers come back exactly: a dialog unit is more than
    // a pixel, so the rounding to pixels never reaches half a unit.
    RECT base{0, 0, UnitsPerBase.cx, UnitsPerBase.cy};
    MapDialogRect(d.window, &base);
    s.base = SIZE{base.right, base.bottom};
    RECT client{};
    GetClientRect(d.window, &client);
    const RECT size = Convert(RECT{0, 0, client.right, client.bottom}, UnitsPerBase, s.base);
    s.dialogUnits = SIZE{size.right, size.bottom};
    static const auto dialogBehaviour =
        User32Function<SetDialogDpiChangeBehaviorFunction>("SetDialogDpiChangeBehavior");
    static const auto controlBehaviour =
        User32Function<SetDialogControlDpiChangeBehaviorFunction>("SetDialogControlDpiChangeBehavior");
    if (dialogBehaviour != nullptr)
        dialogBehaviour(d.window, DisableAllDialogScaling, DisableAllDialogScaling);
    s.placeCount = 0;
    for (HWND child = GetWindow(d.window, GW_CHILD); child != nullptr && s.placeCount < MaxDialogControls;
         child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r{};
        GetWindowRect(child, &r);
        // A drop-down list's height in the template is its dropped height.
        if (SendMessageW(child, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&r)) == 0)
            GetWindowRect(child, &r);
        MapWindowPoints(nullptr, d.window, reinterpret_cast<POINT*>(&r), 2);
        const RECT place{r.left, r.top, r.right - r.left, r.bottom - r.top};
        s.places[s.placeCount++] = ControlPlace{child, Convert(place, UnitsPerBase, s.base)};
        if (GetDlgCtrlID(child) == IDC_OUTPUT)
            s.outputUnits = s.places[s.placeCount - 1].units;
        if (controlBehaviour != nullptr)
            controlBehaviour(child, DisableControlScaling, DisableControlScaling);
        if (IsAddressControl(child))
            SetFieldsFont(child, reinterpret_cast<HFONT>(SendMessageW(d.window, WM_GETFONT, 0, 0)));
    }
}

void RescaleDialog(ConfigDialogState& d, UINT dpi)
{
    DialogScale& s = d.scale;
    if (dpi == s.dpi || dpi == 0)
        return;
    s.dpi = dpi;
    // Back at the created scale the controls take the dialog's own font again.
    HFONT font = dpi == s.createdDpi ? reinterpret_cast<HFONT>(SendMessageW(d.window, WM_GETFONT, 0, 0))
                                     : DialogFontAt(d, dpi);
    s.base = BaseUnits(d.window, font);
    s.outputGivenUp = OutputGivenUp(s, ParentClientHeight(d));
    HDWP moves = BeginDeferWindowPos(static_cast<int>(s.placeCount));
    for (uint32_t i = 0; i < s.placeCount; ++i) {
        ControlPlace& place = s.places[i];
        const RECT r = PixelPlace(s, place);
        if (IsAddressControl(place.control)) {
            place.control = RemakeAddressControl(d, place.control, r, font);
            continue;
        }
        SendMessageW(place.control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (moves != nullptr)
            moves = DeferWindowPos(moves, place.control, nullptr, r.left, r.top, r.right, r.bottom,
                                   SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (moves != nullptr)
        EndDeferWindowPos(moves);
    if (s.scaledFont != nullptr)
        DeleteObject(s.scaledFont);
    s.scaledFont = dpi == s.createdDpi ? nullptr : font;
    SizeDialog(d);
    LoadEyeImages(d);
    SendMessageW(DialogItem(d, IDC_SHOW_PASSWORD), BM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(d.passwordMasked ? s.eyeHidden : s.eyeShown));
    KeepLabelsOnOneLine(d);
    RedrawWindow(d.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// Only the controls at or below the output list's bottom edge move: the
// address controls, which a move would not lay out again, are above it.
void FitDialogHeight(ConfigDialogState& d, int height)
{
    DialogScale& s = d.scale;
    const int givenUp = OutputGivenUp(s, height);
    if (givenUp == s.outputGivenUp)
        return;
    s.outputGivenUp = givenUp;
    for (uint32_t i = 0; i < s.placeCount; ++i) {
        const ControlPlace& place = s.places[i];
        if (place.units.top + place.units.bottom < s.outputUnits.top + s.outputUnits.bottom)
            continue;
        const RECT r = PixelPlace(s, place);
        SetWindowPos(place.control, nullptr, r.left, r.top, r.right, r.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SizeDialog(d);
    RedrawWindow(d.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

RECT FitToWorkArea(HMONITOR monitor, const RECT& wanted, bool centre)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(monitor, &info))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &info.rcWork, 0);
    const RECT& work = info.rcWork;
    const LONG width = std::min(wanted.right - wanted.left, work.right - work.left);
    const LONG height = std::min(wanted.bottom - wanted.top, work.bottom - work.top);
    LONG left = centre ? work.left + (work.right - work.left - width) / 2 : wanted.left;
    LONG top = centre ? work.top + (work.bottom - work.top - height) / 2 : wanted.top;
    left = std::max(work.left, std::min(left, work.right - width));
    top = std::max(work.top, std::min(top, work.bottom - height));
    return RECT{left, top, left + width, top + height};
}

void DeleteScaledObjects(ConfigDialogState& d)
{
    DialogScale& s = d.scale;
    DeleteObject(s.eyeShown);
    DeleteObject(s.eyeHidden);
    // A dialog created again later loads them afresh.
    s.eyeShown = nullptr;
    s.eyeHidden = nullptr;
    if (s.scaledFont != nullptr)
        DeleteObject(s.scaledFont);
    s.scaledFont = nullptr;
}
