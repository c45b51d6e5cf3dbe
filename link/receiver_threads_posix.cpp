#include <thread>

#include "link/frame_receiver.h"
#include "link/platform.h"

void StartReceiver()
{
    // The lock exists before the assembler can take it; neither thread is
    // ever joined, they end with the process.
    InitReceiveLock();
    std::thread(ReaderThread).detach();
    std::thread(AssemblerThread).detach();
}
