#include "wire/gbk_text.h"

#include <iconv.h>

#include <mutex>

namespace {

// An iconv descriptor keeps shift state and is not for two threads at once;
// the trace writes from the assembler thread while the main thread prints.
std::mutex converterLock;

bool Convert(bool toUtf8, const char* in, size_t length, char* out, size_t capacity,
             size_t* written)
{
    std::lock_guard<std::mutex> hold(converterLock);
    static iconv_t fromGbk = iconv_open("UTF-8", "GBK");
    static iconv_t toGbk = iconv_open("GBK", "UTF-8");
    iconv_t cd = toUtf8 ? fromGbk : toGbk;
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* inp = const_cast<char*>(in);
    char* outp = out;
    size_t inLeft = length, outLeft = capacity;
    const bool ok = iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
    *written = capacity - outLeft;
    return ok;
}

}  // namespace

bool DecodeGbkPair(uint8_t lead, uint8_t trail, char* out)
{
    const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    size_t n = 0;
    if (!Convert(true, in, 2, out, 7, &n))
        return false;
    out[n] = '\0';
    return true;
}

bool EncodeGbk(const char* utf8, size_t length, char* out, size_t capacity, size_t* written)
{
    return Convert(false, utf8, length, out, capacity, written);
}

bool DecodeGbk(const char* gbk, size_t length, char* out, size_t capacity, size_t* written)
{
    return Convert(true, gbk, length, out, capacity, written);
}
