#include "gui/window_text_win32.h"

#include "wire/gbk_text.h"

namespace {

constexpr size_t ShortTextSize = 1024;   // captions, the status, device texts up to a line

}  // namespace

void WidenGbk(const char* gbk, wchar_t* out, size_t capacity)
{
    if (capacity == 0)
        return;
    // Bytes that are no GBK character come out as the system shows them,
    // exactly as the narrow window functions showed them on a Chinese Windows.
    if (MultiByteToWideChar(GbkCodePage, 0, gbk, -1, out, static_cast<int>(capacity)) == 0)
        out[0] = L'\0';
}

bool NarrowToGbk(const wchar_t* text, char* out, size_t capacity)
{
    if (capacity == 0)
        return false;
    BOOL lossy = FALSE;
    // WC_NO_BEST_FIT_CHARS: a character without a GBK form must fail rather
    // than turn into a look-alike that the device would then run or store.
    const int n = WideCharToMultiByte(GbkCodePage, WC_NO_BEST_FIT_CHARS, text, -1, out,
                                      static_cast<int>(capacity), nullptr, &lossy);
    if (n == 0 || lossy) {
        out[0] = '\0';
        return false;
    }
    return true;
}

void SetGbkText(HWND window, const char* gbk)
{
    wchar_t wide[ShortTextSize];
    WidenGbk(gbk, wide, ShortTextSize);
    SetWindowTextW(window, wide);
}
