#include <thread>

#include "link/frame_receiver.h"
#include "link/platform.h"

// Detached: like the program's threads on Windows, they end with the process.
void StartReceiver()
{
    InitReceiveLock();
    std::thread(ReaderThread).detach();
    std::thread(AssemblerThread).detach();
}
