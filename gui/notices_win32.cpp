// Device notices are shown one at a time. MessageBoxW runs a message loop of
// its own, which delivers the next NoticeMessage to the dialog while a box
// is open; showing it there would open a box inside the box, as deep as the
// device repeats itself. So a notice that arrives while a box is open
// waits, a text that is already waiting is not queued again, and the
// outermost call shows the waiting notices in order once its box is closed.
#include "gui/notices_win32.h"

#include <cstring>

#include "gui/config_dialog_win32.h"
#include "gui/texts.h"
#include "gui/window_text_win32.h"

namespace {

constexpr size_t BoxTextSize = 512;

void QueueNotice(NoticeTurns& notices, const char* text)
{
    for (uint32_t i = 0; i < notices.waitingCount; ++i) {
        if (std::strcmp(notices.waiting[i], text) == 0)
            return;
    }
    if (notices.waitingCount < MaxWaitingNotices)
        notices.waiting[notices.waitingCount++] = text;
}

const char* TakeWaitingNotice(NoticeTurns& notices)
{
    if (notices.waitingCount == 0)
        return nullptr;
    const char* first = notices.waiting[0];
    for (uint32_t i = 1; i < notices.waitingCount; ++i)
        notices.waiting[i - 1] = notices.waiting[i];
    --notices.waitingCount;
    return first;
}

}  // namespace

// The text is one of the dialog's own constants (texts.h): only its
// address crosses to the dialog's thread, and it stays valid.
void ShowNotice(ConfigDialogState& d, const char* text)
{
    PostMessageW(d.window, NoticeMessage, 0, reinterpret_cast<LPARAM>(text));
}

void ShowNoticeInTurn(ConfigDialogState& d, const char* text)
{
    NoticeTurns& notices = d.notices;
    if (notices.boxOpen) {
        QueueNotice(notices, text);
        return;
    }
    notices.boxOpen = true;
    wchar_t caption[16];
    WidenGbk(texts::NoticeCaption, caption, 16);
    for (const char* next = text; next != nullptr; next = TakeWaitingNotice(notices)) {
        wchar_t wide[BoxTextSize];
        WidenGbk(next, wide, BoxTextSize);
        MessageBoxW(d.window, wide, caption, MB_ICONINFORMATION | MB_OK);
    }
    notices.boxOpen = false;
}
