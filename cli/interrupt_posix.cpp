#include "cli/interrupt.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

// Globals: a signal handler reaches nothing else.
namespace {

int pipeFds[2] = {-1, -1};
Thread listener;
constexpr char Pressed = 'i', Ending = 'e';

void OnSignal(int)
{
    const char byte = Pressed;
    ssize_t ignored = write(pipeFds[1], &byte, 1);
    (void)ignored;
}

void Listen(void*)
{
    for (char byte = 0; read(pipeFds[0], &byte, 1) == 1 && byte != Ending;)
        NoteInterrupt();
}

}  // namespace

Result StartListening()
{
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return Failure(Status::Failed, "the Ctrl+C pipe", errno);
    const Result started = Named(StartThread(listener, Listen, nullptr), "the Ctrl+C listener");
    if (!Succeeded(started)) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return started;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return Success;
}

void StopListening()
{
    if (!listener.started)
        return;
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    const char byte = Ending;
    ssize_t ignored = write(pipeFds[1], &byte, 1);
    (void)ignored;
    JoinThread(listener);
    close(pipeFds[0]);
    close(pipeFds[1]);
}
