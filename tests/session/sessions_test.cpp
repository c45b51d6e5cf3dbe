// Sessions end to end, natively: eight at once in one process against eight
// virtual devices, each with its own conversation (a close and an open in
// it), plain and under ThreadSanitizer; and a hundred started and ended
// sessions leave no thread or descriptor behind.
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "session/session.h"
#include "tests/support/port_state.h"

extern char** environ;

namespace {

constexpr int Devices = 8;

// What one session was handed (assembler thread), for its test thread.
struct Heard {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::string> replies;   // "02 10.0.0.3", "0A pw3", "06 echo-3"
};

void Hear(void* context, const Reply& r)
{
    Heard& h = *static_cast<Heard*>(context);
    std::string line = std::to_string(r.code) + " ";
    if (r.status != 0)
        line += "refused";
    else if (r.code == 0x02)
        line += std::to_string(r.config.ipAddress & 0xFF);
    else
        line += r.text;
    std::lock_guard<std::mutex> hold(h.lock);
    h.replies.push_back(line);
    h.changed.notify_all();
}

bool WaitFor(Heard& h, const std::string& line)
{
    std::unique_lock<std::mutex> hold(h.lock);
    return h.changed.wait_for(hold, std::chrono::seconds(10), [&] {
        for (const std::string& r : h.replies)
            if (r == line)
                return true;
        return false;
    });
}

// A virtual device on a pty reached through `link`, stopped with the test.
struct Device {
    pid_t pid = -1;
    std::string link;
    Device(const std::string& dir, int n)
    {
        link = dir + "/dev" + std::to_string(n);
        const std::string ip = "10.0.0." + std::to_string(n), password = "pw" + std::to_string(n);
        const char* argv[] = {QV_DEVICE, "--link", link.c_str(), "--ip", ip.c_str(), "--password",
                              password.c_str(), "--quiet", nullptr};
        posix_spawn(&pid, QV_DEVICE, nullptr, nullptr, const_cast<char**>(argv), environ);
        for (int i = 0; i < 200 && access(link.c_str(), F_OK) != 0; ++i)
            usleep(10 * 1000);
    }
    ~Device()
    {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
};

size_t Entries(const char* dir)
{
    size_t n = 0;
    if (DIR* d = opendir(dir)) {
        while (readdir(d) != nullptr)
            ++n;
        closedir(d);
    }
    return n;
}

TEST(Sessions, EightAtOnceEachWithItsOwnConversation)
{
    char dir[] = "/tmp/qv-sessions.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::vector<std::unique_ptr<Device>> devices;
    for (int n = 1; n <= Devices; ++n)
        devices.push_back(std::make_unique<Device>(dir, n));

    std::vector<std::unique_ptr<Session>> sessions;
    std::vector<std::unique_ptr<Heard>> heard;
    for (int n = 0; n < Devices; ++n) {
        sessions.push_back(std::make_unique<Session>());
        heard.push_back(std::make_unique<Heard>());
        const Result started = StartSession(*sessions[n], SessionCallbacks{ReplyHandler{heard[n].get(), Hear}, {}, {}});
        ASSERT_TRUE(Succeeded(started)) << started.what;
    }
    std::vector<std::thread> conversations;
    std::vector<int> passed(Devices, 0);
    for (int n = 0; n < Devices; ++n) {
        conversations.emplace_back([&, n] {
            Session& s = *sessions[n];
            Heard& h = *heard[n];
            const std::string number = std::to_string(n + 1);
            int ok = 0;
            for (int opening = 0; opening < 2; ++opening) {
                ok += Opened(s.port, devices[n]->link.c_str());
                ok += Succeeded(SendGetNetConfig(s.client));
                ok += Succeeded(SendGetAdminPassword(s.client));
                ok += WaitFor(h, "2 " + number) && WaitFor(h, "10 pw" + number);
                const std::string word = "session-" + number + "-" + std::to_string(opening);
                SendShellCommand(s.client, ("echo " + word).c_str());
                ok += WaitFor(h, "6 " + word);
                ClosePort(s.port);
            }
            passed[n] = ok;
        });
    }
    for (std::thread& t : conversations)
        t.join();
    for (int n = 0; n < Devices; ++n) {
        EXPECT_EQ(passed[n], 10) << "session " << n + 1;
        std::lock_guard<std::mutex> hold(heard[n]->lock);
        const std::string number = std::to_string(n + 1);
        for (const std::string& r : heard[n]->replies)   // nothing of another device's
            EXPECT_TRUE(r == "2 " + number || r == "10 pw" + number || r.rfind("6 session-" + number + "-", 0) == 0)
                << number << ": " << r;
    }
    for (auto& s : sessions)
        EndSession(*s);
    devices.clear();
    rmdir(dir);
}

TEST(Sessions, EndingLeavesNoThreadOrDescriptor)
{
    const size_t threads = Entries("/proc/self/task"), descriptors = Entries("/proc/self/fd");
    for (int i = 0; i < 100; ++i) {
        auto s = std::make_unique<Session>();
        ASSERT_TRUE(Succeeded(StartSession(*s, SessionCallbacks{})));
        // An open port too, once in a while: it is closed by the end.
        if (i % 10 == 0) {
            EXPECT_TRUE(PortOpened(OpenPort(s->port, "/dev/null")));
        }
        EndSession(*s);
    }
    EXPECT_EQ(Entries("/proc/self/task"), threads);
    EXPECT_EQ(Entries("/proc/self/fd"), descriptors);
}

}  // namespace
