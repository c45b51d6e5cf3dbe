#include "gui/window_text_win32.h"

#include "wire/gbk_text.h"

namespace {

constexpr size_t ShortTextSize = 1024;   // captions, the status, device texts up to a line
// Typed text as UTF-8: three bytes at most for each of the 2048 UTF-16
// units EncodeGbk takes, more than a command or a password needs.
constexpr int TypedUtf8Size = 3 * 2048;

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
    // Through UTF-8 to the one GBK encoder, which refuses a character GBK
    // lacks. WC_ERR_INVALID_CHARS: a lone surrogate half fails here rather
    // than become U+FFFD, which GBK lacks all the same.
    char utf8[TypedUtf8Size];
    const int n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, utf8, TypedUtf8Size, nullptr, nullptr);
    size_t written = 0;
    const bool encoded = n > 0 && EncodeGbk(utf8, static_cast<size_t>(n - 1), out, capacity - 1, &written);
    out[encoded ? written : 0] = '\0';
    return encoded;
}

void SetGbkText(HWND window, const char* gbk)
{
    wchar_t wide[ShortTextSize];
    WidenGbk(gbk, wide, ShortTextSize);
    SetWindowTextW(window, wide);
}
