// Drives the real main window and dialog in-process under Wine: message
// pumping, clicks, a thread that answers message boxes, and the virtual
// device's frame log.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gui {

// Creates the main window once per process (the dialog starts the receiver
// threads, which live until the process ends).
HWND MainWindow();
HWND Dialog();
HWND Item(int id);
std::string Text(int id);
bool Enabled(int id);

// Handles messages for `ms` milliseconds.
void Pump(DWORD ms);
// Handles messages until `done` is true or `ms` have passed; returns `done`.
bool PumpUntil(const std::function<bool()>& done, DWORD ms);

// The command of a button click, as the button itself would send it.
void Click(int id);
// An automatic check box: flips its tick, then tells the dialog.
void ClickCheckBox(int id);
void SetText(int id, const char* text);
std::vector<std::string> OutputLines();

struct Box {
    std::string text;
    std::string caption;
    bool ownedByDialog;
    ULONGLONG shownAt;
};

// Message boxes seen since the last ResetBoxes(); each is answered with OK
// (after the hook, if any, has returned on the answering thread).
std::vector<Box> Boxes();
void ResetBoxes();
void SetBoxHook(std::function<void(const Box&)> hook);

// Frames from the device's log: "RX" = what the device received from us,
// "TX" = what it sent.
std::vector<std::vector<uint8_t>> LoggedFrames(const char* direction);
std::vector<std::vector<uint8_t>> FramesSince(size_t mark, const char* direction);
uint32_t CountCode(const std::vector<std::vector<uint8_t>>& frames, uint8_t code);

// Closes the port if it is open and waits for the line to go quiet.
void EnsureClosed();
// Opens the first listed port and waits for the device's two replies
// (or `ms`, for a device that does not answer them).
void OpenPortAndWait(DWORD ms = 3000);

// Saves the screen area of the dialog as a 24-bit BMP (for screenshots).
bool SaveWindowBitmap(const char* path);

}  // namespace gui
