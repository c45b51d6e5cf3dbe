#include "wire/gbk_text.h"

#include <windows.h>

bool DecodeGbkPair(uint8_t lead, uint8_t trail, char* out)
{
    const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    wchar_t wide[2];
    const int n = MultiByteToWideChar(GbkCodePage, MB_ERR_INVALID_CHARS, in, 2, wide, 2);
    if (n != 1)
        return false;
    const int m = WideCharToMultiByte(CP_UTF8, 0, wide, 1, out, 7, nullptr, nullptr);
    if (m <= 0)
        return false;
    out[m] = '\0';
    return true;
}

bool DecodeGbk(const char* gbk, size_t length, char* out, size_t capacity, size_t* written)
{
    *written = 0;
    if (length == 0)
        return true;
    // A text of a provision sheet's line or a typed password: a fixed buffer does.
    wchar_t wide[4096];
    const int n = MultiByteToWideChar(GbkCodePage, MB_ERR_INVALID_CHARS, gbk, static_cast<int>(length), wide, 4096);
    if (n <= 0)
        return false;
    const int m = WideCharToMultiByte(CP_UTF8, 0, wide, n, out, static_cast<int>(capacity), nullptr, nullptr);
    if (m <= 0)
        return false;
    *written = static_cast<size_t>(m);
    return true;
}

bool EncodeGbk(const char* utf8, size_t length, char* out, size_t capacity, size_t* written)
{
    *written = 0;
    if (length == 0)
        return true;
    // A command of at most 1015 bytes, or a password: a fixed buffer does.
    wchar_t wide[2048];
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, static_cast<int>(length),
                                      wide, 2048);
    if (n <= 0)
        return false;
    BOOL lossy = FALSE;
    // WC_NO_BEST_FIT_CHARS: a character without a GBK form must fail rather
    // than turn into a look-alike that the device would then store.
    const int m = WideCharToMultiByte(GbkCodePage, WC_NO_BEST_FIT_CHARS, wide, n, out,
                                      static_cast<int>(capacity), nullptr, &lossy);
    if (m <= 0 || lossy)
        return false;
    *written = static_cast<size_t>(m);
    return true;
}
