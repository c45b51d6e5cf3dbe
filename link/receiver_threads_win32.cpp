#include <windows.h>

#include "link/frame_receiver.h"
#include "link/platform.h"

namespace {

DWORD WINAPI RunReaderThread(LPVOID) { ReaderThread(); }
DWORD WINAPI RunAssemblerThread(LPVOID) { AssemblerThread(); }

void Start(LPTHREAD_START_ROUTINE entry)
{
    // Default stack, no argument, no flags; the threads run until the
    // process ends, so their handles are not kept.
    HANDLE thread = CreateThread(nullptr, 0, entry, nullptr, 0, nullptr);
    if (thread != nullptr)
        CloseHandle(thread);
}

}  // namespace

void StartReceiver()
{
    InitReceiveLock();
    Start(RunReaderThread);
    Start(RunAssemblerThread);
}
