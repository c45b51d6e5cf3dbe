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

// Reads what the worker wrote next into `buffer`, blocking; 0 at the end of
// its output.
size_t ReadWorkerOutput(Worker& worker, char* buffer, size_t capacity);

// The next line the worker wrote (a Windows "\r\n" ends it too), blocking;
// false at the end of its output.
inline bool ReadWorkerLine(Worker& worker, std::string& line)
{
    for (;;) {
        const size_t end = worker.pending.find('\n');
        if (end != std::string::npos) {
            line = worker.pending.substr(0, end);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            worker.pending.erase(0, end + 1);
            return true;
        }
        char buffer[4096];
        const size_t n = ReadWorkerOutput(worker, buffer, sizeof buffer);
        if (n == 0) {
            line.swap(worker.pending);
            worker.pending.clear();
            return !line.empty();
        }
        worker.pending.append(buffer, n);
    }
}

// Waits for the worker to end and returns its exit code (-1 if it died).
int FinishWorker(Worker& worker);
