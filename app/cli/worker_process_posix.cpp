#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "app/cli/worker_process.h"

extern char** environ;

bool StartWorker(const std::vector<std::string>& args, Worker& worker)
{
    int fds[2];
    // Close-on-exec on both ends: no other worker inherits this pipe, so the
    // reader sees its end as soon as this worker exits.
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (failed != 0) {
        close(fds[0]);
        return false;
    }
    worker.process = pid;
    worker.output = fds[0];
    return true;
}

bool ReadWorkerLine(Worker& worker, std::string& line)
{
    for (;;) {
        const size_t end = worker.pending.find('\n');
        if (end != std::string::npos) {
            line = worker.pending.substr(0, end);
            worker.pending.erase(0, end + 1);
            return true;
        }
        char buffer[4096];
        const ssize_t n = read(static_cast<int>(worker.output), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            line.swap(worker.pending);
            worker.pending.clear();
            return !line.empty();
        }
        worker.pending.append(buffer, static_cast<size_t>(n));
    }
}

int FinishWorker(Worker& worker)
{
    if (worker.output >= 0)
        close(static_cast<int>(worker.output));
    worker.output = -1;
    int status = 0;
    while (waitpid(static_cast<pid_t>(worker.process), &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
