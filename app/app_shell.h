// The application shell: the main window that hosts the configuration
// dialog. Separate from WinMain so that test programs can create the window.
#pragma once

#include <windows.h>

constexpr int MainWindowTextSize = 100;
constexpr char WindowMarkerProperty[] = "kxPellorTest__20170523_QV";

extern HINSTANCE AppInstance;
extern char MainWindowTitle[MainWindowTextSize];
extern char MainWindowClassName[MainWindowTextSize];

// Strings 103 and 109 into MainWindowTitle and MainWindowClassName.
void LoadMainWindowTexts(HINSTANCE instance);
void RegisterMainWindowClass(HINSTANCE instance);
bool CreateMainWindow(HINSTANCE instance, int showCommand);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
