#include "tests/device/device_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

namespace {

long long NowMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

}  // namespace

std::string ReadWholeFile(const std::string& path)
{
    std::stringstream s;
    s << std::ifstream(path).rdbuf();
    return s.str();
}

DeviceProcess::~DeviceProcess()
{
    Stop();
    if (fd >= 0)
        close(fd);
    if (!dir_.empty()) {
        unlink(framesLog.c_str());
        unlink(traceFile.c_str());
        rmdir(dir_.c_str());
    }
}

long long DeviceProcess::SinceStartMs() const { return NowMs() - startMs_; }

// The device prints its pty's path on its first line of output.
bool DeviceProcess::Start(const std::vector<std::string>& args)
{
    char dir[] = "/tmp/qv-device-test-XXXXXX";
    int out[2];
    if (mkdtemp(dir) == nullptr || pipe(out) != 0)
        return false;
    dir_ = dir;
    framesLog = dir_ + "/frames.log";
    traceFile = dir_ + "/trace.log";
    std::vector<std::string> all = {QV_DEVICE_PROGRAM, "--frames-log", framesLog, "--seed", "7"};
    all.insert(all.end(), args.begin(), args.end());
    startMs_ = NowMs();
    pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(open(traceFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        close(out[0]);
        std::vector<char*> argv;
        for (std::string& a : all)
            argv.push_back(&a[0]);
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string line;
    pollfd p{out[0], POLLIN, 0};
    char buf[256];
    ssize_t n = 0;
    while (line.find('\n') == std::string::npos && poll(&p, 1, 5000) > 0 && (n = read(out[0], buf, sizeof buf)) > 0)
        line.append(buf, static_cast<size_t>(n));
    close(out[0]);
    if (line.find('\n') == std::string::npos)
        return false;
    clientPath = line.substr(0, line.find('\n'));
    fd = open(clientPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    return fd >= 0 && tcsetattr(fd, TCSANOW, &t) == 0;
}

void DeviceProcess::Send(const Bytes& bytes)
{
    size_t done = 0;
    for (const long long until = NowMs() + 2000; done < bytes.size() && NowMs() < until;) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<size_t>(n);
        else
            usleep(1000);
    }
}

std::vector<Chunk> DeviceProcess::ReadChunks(int ms)
{
    std::vector<Chunk> chunks;
    const long long until = NowMs() + ms;
    for (long long now = NowMs(); now < until; now = NowMs()) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(until - now)) <= 0)
            continue;
        uint8_t buf[4096];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0)
            chunks.push_back({SinceStartMs(), Bytes(buf, buf + n)});
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            break;   // the device hung up
        else
            usleep(1000);
    }
    return chunks;
}

Bytes DeviceProcess::ReadFrames(size_t frames, int ms)
{
    Bytes all;
    for (const long long until = NowMs() + ms; SplitFrames(all).size() < frames && NowMs() < until;)
        for (const Chunk& c : ReadChunks(20))
            all.insert(all.end(), c.bytes.begin(), c.bytes.end());
    return all;
}

Bytes DeviceProcess::ReadFor(int ms)
{
    Bytes all;
    for (const Chunk& c : ReadChunks(ms))
        all.insert(all.end(), c.bytes.begin(), c.bytes.end());
    return all;
}

int DeviceProcess::WaitExit(int ms)
{
    const long long until = NowMs() + ms;
    do {
        int status = 0;
        if (pid > 0 && waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        usleep(5000);
    } while (NowMs() < until);
    return -1;
}

int DeviceProcess::Stop()
{
    if (pid <= 0)
        return -1;
    const pid_t child = pid;
    kill(child, SIGTERM);
    const int code = WaitExit(3000);
    if (code != -1)
        return code;
    kill(child, SIGKILL);
    return WaitExit(3000);
}
