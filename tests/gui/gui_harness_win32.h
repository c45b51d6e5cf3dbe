// Drives the real main window and dialog in-process under Wine: message
// pumping, clicks, a thread that answers message boxes, screen pixels, and
// the virtual device's frame log.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gui/config_dialog_win32.h"
#include "tests/support/frames.h"

namespace gui {

// The main window is created once per process, with a shell of the test's
// own; its dialog's session ends with the test program.
HWND Dialog();
ConfigDialogState& State();
HWND Item(int id);
// Window texts are read as wide text and given back as GBK, converted from
// code page 936 explicitly, so the cases compare with the program's own
// texts in any locale.
std::string GbkOf(HWND window);
std::string Text(int id);
bool Enabled(int id);
bool PumpUntil(const std::function<bool()>& done, DWORD ms);   // handles messages; returns done()
inline void Pump(DWORD ms) { PumpUntil([] { return false; }, ms); }
void Click(int id);          // the command of a button click, as the button sends it
void ClickCheckBox(int id);  // flips the tick, then tells the dialog
void SetText(int id, const char* text);
std::vector<std::string> OutputLines();

struct Box {
    std::string text, caption;
    bool ownedByDialog;
    ULONGLONG shownAt;
};
// Message boxes seen since the last ResetBoxes(); each is answered with OK
// after the hook, if any, has returned (on the answering thread).
std::vector<Box> Boxes();
void ResetBoxes();
void SetBoxHook(std::function<void(const Box&)> hook);

// Frames from the device's log (QV_FRAMES_LOG): "RX" what the device
// received from us, "TX" what it sent.
std::vector<Bytes> LoggedFrames(const char* direction);
std::vector<Bytes> FramesSince(size_t mark, const char* direction);
uint32_t CountCode(const std::vector<Bytes>& frames, uint8_t code);

// Runs the action and returns the request frames it wrote (heartbeats left out).
std::vector<Bytes> Sent(const std::function<void()>& action, DWORD settleMs = 600);
Bytes ShellFrame(const std::string& text);   // the 0x05 request for `text`
// The one box shown since ResetBoxes(): its text, and " [notice]" if it had
// the notice caption; "N boxes" otherwise.
std::string OneBox();

void EnsureClosed();                      // closes the port if open, lets the line go quiet
void OpenPortAndWait(DWORD ms = 3000);    // opens the selected port, waits for both replies

// The pixels of `source` (0x00RRGGBB, rows top-down): a window as the
// screen shows it, or a bitmap.
struct Pixels {
    int width = 0, height = 0;
    std::vector<uint32_t> rgb;
    uint32_t At(int x, int y) const { return rgb[static_cast<size_t>(y * width + x)]; }
};
Pixels ScreenOf(HWND window);
Pixels BitmapPixels(HBITMAP bitmap);
// Pixels of the eye button that differ from `expected` (the image the
// dialog holds, at its scale) where the dialog draws it; -1 when the image
// would not fit the button.
int EyeDifferences(HBITMAP expected);

}  // namespace gui
