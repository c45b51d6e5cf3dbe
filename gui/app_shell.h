// The application shell: the main window that hosts the configuration
// dialog. Separate from WinMain so that test programs can create the window.
// A Unicode window: its texts are plain ASCII, and the dialog it hosts takes
// wide text.
#pragma once

#include <windows.h>

constexpr int MainWindowTextSize = 100;
constexpr wchar_t WindowMarkerProperty[] = L"kxPellorTest__20170523_QV";

extern HINSTANCE AppInstance;
extern wchar_t MainWindowTitle[MainWindowTextSize];
extern wchar_t MainWindowClassName[MainWindowTextSize];

// Strings 103 and 109 into MainWindowTitle and MainWindowClassName.
void LoadMainWindowTexts(HINSTANCE instance);
void RegisterMainWindowClass(HINSTANCE instance);
bool CreateMainWindow(HINSTANCE instance, int showCommand);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
