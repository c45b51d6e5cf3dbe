// Runs quorvane-device as a child process and talks to it over its
// pseudo-terminal the way a client does. Every wait has a limit, and the
// destructor stops the child if a test left it running.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/support/frames.h"

struct Chunk {
    long long atMs;   // since the child started
    Bytes bytes;
};

class DeviceProcess {
public:
    ~DeviceProcess();
    // Starts the device with `args`; false when it did not come up in 5 s.
    bool Start(const std::vector<std::string>& args);
    void Send(const Bytes& bytes);
    std::vector<Chunk> ReadChunks(int ms);   // every read made within `ms`
    Bytes ReadFrames(size_t frames, int ms); // until `frames` whole frames or `ms`
    Bytes ReadFor(int ms);
    int WaitExit(int ms);   // the exit code, or -1 if still running after `ms`
    int Stop();             // SIGTERM, then SIGKILL after 3 s; the exit code
    long long SinceStartMs() const;

    std::string clientPath, framesLog, traceFile;
    int fd = -1;
    pid_t pid = -1;

private:
    long long startMs_ = 0;
    std::string dir_;
};

std::string ReadWholeFile(const std::string& path);
