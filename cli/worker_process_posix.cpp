#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "cli/worker_process.h"

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

size_t ReadWorkerOutput(Worker& worker, char* buffer, size_t capacity)
{
    for (;;) {
        const ssize_t n = read(static_cast<int>(worker.output), buffer, capacity);
        if (n < 0 && errno == EINTR)
            continue;
        return n > 0 ? static_cast<size_t>(n) : 0;
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
