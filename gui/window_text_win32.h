// Texts at the window edge. The program's own texts, the device's and what
// the technician types are GBK (code page 936) inside the program and on the
// wire; the windows are Unicode. Every conversion names code page 936, so the
// texts read right on an English Windows (ANSI code page 1252) and where the
// UTF-8 option is ticked (65001) as much as on a Chinese one.
#pragma once

#include <windows.h>

#include <cstddef>

// `gbk` as UTF-16 into `out`, always terminated; empty when it does not fit
// (a GBK text of n bytes never needs more than n + 1 wide characters).
void WidenGbk(const char* gbk, wchar_t* out, size_t capacity);

// Typed text as GBK into `out`, terminated, by wire/'s EncodeGbk. False
// when a character has no GBK form (nothing is ever replaced by a
// look-alike) or the text does not fit; `out` is then empty.
bool NarrowToGbk(const wchar_t* text, char* out, size_t capacity);

// SetWindowTextW with a GBK text of at most 1023 bytes.
void SetGbkText(HWND window, const char* gbk);
