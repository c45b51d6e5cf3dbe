// The dialog at the monitor's scale, and the window kept on its monitor's
// work area (dialog_scale_win32.cpp). User-interface thread only.
//
// A change of scale remakes the three address controls: an address control
// lays out its fields once, when it is made, so at a new scale a new one
// takes the old one's place, address, styles, Tab position and focus. Their
// window handles do not outlive a change of scale: find them by their
// identifier (DialogItem), never keep one.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>

struct ConfigDialogState;

constexpr UINT BaseDpi = 96;                  // 100 %: the main window's and the artwork's own scale
constexpr uint32_t MaxDialogControls = 32;    // the template has 26

// Where the template puts a control, in dialog units.
struct ControlPlace {
    HWND control;
    RECT units;   // left, top, width, height
};

// The scale: the monitor's dots per inch (96 is 100 %). The places are laid
// out again from dialog units at every change, as the dialog manager lays
// out a template, so no rounding adds up over moves. Written by
// dialog_scale_win32.cpp only.
struct DialogScale {
    UINT dpi = BaseDpi;
    UINT createdDpi = BaseDpi;
    SIZE base{};                      // the base units at `dpi`: pixels of 4 x 8 dialog units
    SIZE dialogUnits{};
    RECT outputUnits{};               // the output list's place, which gives up height on a low screen
    int outputGivenUp = 0;            // pixels the output list is shorter than the template makes it
    std::array<ControlPlace, MaxDialogControls> places{};
    uint32_t placeCount = 0;
    HFONT scaledFont = nullptr;       // the dialog's font after a change of scale; owned
    HBITMAP eyeShown = nullptr;       // both drawn at `dpi`, at its size; owned
    HBITMAP eyeHidden = nullptr;
};

UINT WindowDpi(HWND window);                           // the monitor's DPI for the window
int ScaleForDpi(int pixelsAt96, UINT dpi);
void RecordDialogLayout(ConfigDialogState& d);         // at initialisation: the scale and the places
void RescaleDialog(ConfigDialogState& d, UINT dpi);    // fonts, places, size and eye images at `dpi`
void LoadEyeImages(ConfigDialogState& d);              // both eye images at the scale
void DeleteScaledObjects(ConfigDialogState& d);        // when the dialog goes

// `wanted` (a window rectangle) moved into the work area of `monitor` (the
// screen less the taskbar), and cut to that area where it is larger, so the
// title bar is always on the screen; centred in it when `centre`.
RECT FitToWorkArea(HMONITOR monitor, const RECT& wanted, bool centre);
// The dialog fitted to `height` pixels (its parent's client height): where
// the scaled dialog is taller, the output list gives up height, and the
// controls below it move up, so that every control stays whole.
void FitDialogHeight(ConfigDialogState& d, int height);
