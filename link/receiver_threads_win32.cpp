#include <windows.h>

#include "link/frame_receiver.h"
#include "link/platform.h"

namespace {

DWORD WINAPI RunReaderThread(LPVOID) { ReaderThread(); }
DWORD WINAPI RunAssemblerThread(LPVOID) { AssemblerThread(); }

}  // namespace

void StartReceiver()
{
    // The lock exists before the assembler can take it; neither thread is
    // ever joined, they end with the process.
    InitReceiveLock();
    CloseHandle(CreateThread(nullptr, 0, RunReaderThread, nullptr, 0, nullptr));
    CloseHandle(CreateThread(nullptr, 0, RunAssemblerThread, nullptr, 0, nullptr));
}
