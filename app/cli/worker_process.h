// A provision worker: this program started again for one port, its stdout
// on a pipe. The receiver serves one port per process, so every port that
// is worked at the same time needs a process of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Worker {
    intptr_t process = -1;   // pid, or the process HANDLE
    intptr_t output = -1;    // read end of the pipe: fd, or HANDLE
    std::string pending;     // bytes read past the last whole line
};

// args[0] is the program; false when it could not be started.
bool StartWorker(const std::vector<std::string>& args, Worker& worker);

// The next line the worker wrote, blocking; false at the end of its output.
bool ReadWorkerLine(Worker& worker, std::string& line);

// Waits for the worker to end and returns its exit code (-1 if it died).
int FinishWorker(Worker& worker);
