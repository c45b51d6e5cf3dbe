// A pseudo-terminal pair for the native port tests: the port under test opens
// the slave by its path; the test plays the far end of the line on the master.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct PtyPair {
    int master = -1;
    int slave = -1;   // kept open by the test so the line settings persist
    std::string path;

    PtyPair()
    {
        if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
            return;
        path = ttyname(slave);
        for (int fd : {master, slave})
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        termios t{};
        tcgetattr(master, &t);
        cfmakeraw(&t);
        tcsetattr(master, TCSANOW, &t);
    }
    ~PtyPair()
    {
        close(master);
        close(slave);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ok() const { return master >= 0 && slave >= 0 && !path.empty(); }
};

inline long long PtyMsLeft(std::chrono::steady_clock::time_point end)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
}

// Reads from `fd` until `want` bytes have come or `ms` have passed.
inline std::vector<uint8_t> ReadFor(int fd, size_t want, int ms)
{
    std::vector<uint8_t> got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (long long left = ms; got.size() < want && left > 0; left = PtyMsLeft(end)) {
        pollfd p{fd, POLLIN, 0};
        uint8_t chunk[4096];
        const ssize_t n = poll(&p, 1, static_cast<int>(left)) > 0 ? read(fd, chunk, sizeof chunk) : 0;
        if (n > 0)
            got.insert(got.end(), chunk, chunk + n);
    }
    return got;
}

// Writes all of `bytes` to `fd`, waiting for room as needed (at most `ms`).
inline bool WriteAll(int fd, const std::vector<uint8_t>& bytes, int ms = 2000)
{
    size_t done = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (done < bytes.size() && PtyMsLeft(end) > 0) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        pollfd p{fd, POLLOUT, 0};
        if (n > 0)
            done += static_cast<size_t>(n);
        else
            poll(&p, 1, 10);
    }
    return done == bytes.size();
}
