// Runs quorvane-device as a child process and talks to it over its
// pseudo-terminal the way a client does. Every wait has a limit, and the
// destructor stops the child if a test left it running.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/device/device_test_util.h"

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
    // Every read made within `ms`.
    std::vector<Chunk> ReadChunks(int ms);
    // Bytes read until `frames` whole frames are held or `ms` have passed.
    Bytes ReadFrames(size_t frames, int ms);
    Bytes ReadFor(int ms);
    // Waits up to `ms` for the child to exit; its exit code, or -1.
    int WaitExit(int ms);
    // SIGTERM, then SIGKILL if it does not go within 3 s. Its exit code.
    int Stop();
    long long SinceStartMs() const;

    std::string clientPath;
    std::string framesLog;
    std::string traceFile;
    int fd = -1;
    pid_t pid = -1;

private:
    long long startMs_ = 0;
    std::string dir_;
};

std::string ReadWholeFile(const std::string& path);
