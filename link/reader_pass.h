// One pass of the reader on a borrowed port: the platform's wait and read
// (reader_win32.cpp, reader_posix.cpp), for the loop in reader.cpp.
#pragma once

#include "link/reader.h"

enum class ReadPass {
    Idle,     // no port: wait for an opening
    Failed,   // the wait or the read failed: pause, then try again
    Removed,  // the adapter is gone (reader.lost says why): tell it, wait for another opening
    Done,     // `count` bytes are in the staging buffer (possibly none)
};

ReadPass WaitAndRead(Reader& reader, intptr_t handle, uint32_t* count);
