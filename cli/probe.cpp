// ports and ports --probe: the ports there are, and which device answers on
// which of them. The probe opens every port it may at once, each in a
// session of its own on a thread of this process, asks each for its network
// settings, and closes each again; so the whole probe takes about --timeout
// however many ports there are.
#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "cli/cli.h"
#include "cli/device_link.h"
#include "cli/device_steps.h"
#include "cli/interrupt.h"
#include "cli/live_view.h"
#include "cli/ports.h"

namespace {

struct Probed {
    PortEntry entry;
    std::string result = "waiting";   // answering, silent, held, failed, refused, skipped, interrupted
    std::string detail;               // the settings, or why
    nlohmann::json doc;
    bool done = false;
};

Probed Entry(const PortEntry& e)
{
    Probed p;
    p.entry = e;
    return p;
}

void Settle(Probed& p, const char* result, const std::string& detail)
{
    p.result = result;
    p.detail = detail;
    p.done = true;
}

// One port: open it (a port another program holds is "held"), ask, close.
void ProbePort(const CliOptions& o, Probed& p)
{
    auto link = std::make_unique<DeviceLink>();
    SessionError why{};
    if (!StartLink(*link, SupervisionHost{}, &why)) {
        Settle(p, "failed", std::string("cannot start the receiver: ") + why.what + ": " + SystemErrorText(why.osError));
        return;
    }
    const PortOpenResult opened = OpenLink(*link, p.entry.port);
    if (opened.status == PortOpenStatus::Busy) {
        Settle(p, "held", "another program holds it: " + SystemErrorText(opened.osError));
    } else if (opened.status != PortOpenStatus::Opened) {
        Settle(p, "failed", OpenFailureText(opened));
    } else if (opened.lineError != 0) {
        Settle(p, "failed", "the system refused the line settings: " + SystemErrorText(opened.lineError));
    } else {
        ExpectReply(*link, GetNetConfig);
        const WriteResult written = SendGetNetConfig(link->session);
        uint8_t status = 0;
        const Answer answer = written.status == WriteStatus::Written
                                  ? AwaitReply(*link, GetNetConfig, o.timeoutMs, &status)
                                  : Answer::None;
        if (written.status != WriteStatus::Written) {
            Settle(p, "failed", "the request could not be written");
        } else if (answer == Answer::Accepted) {
            const NetConfig config = ReceivedNetConfig(*link);
            p.doc.update(SettingsJson(config));
            Settle(p, "answering", SettingsSummary(config.dhcp, config.ipAddress, config.subnetMask, config.gateway));
        } else if (answer == Answer::Refused) {
            p.doc["status"] = status;
            Settle(p, "refused", "answers, but refused the request (status " + std::to_string(status) + ")");
        } else if (answer == Answer::Interrupted) {
            Settle(p, "interrupted", "interrupted");
        } else {
            Settle(p, "silent", "no answer within " + std::to_string(o.timeoutMs) + " ms");
        }
        CloseLink(*link);
    }
    EndLink(*link);
}

// One line of the view and the plain output; `width` is the widest port's.
std::string Line(const Probed& p, size_t width)
{
    std::string port = p.entry.port;
    port.resize(width + 2, ' ');
    std::string result = p.result;
    result.resize(std::max<size_t>(result.size() + 2, 12), ' ');
    return port + result + p.detail;
}

nlohmann::json Record(const Probed& p)
{
    nlohmann::json j = p.doc;
    j["port"] = p.entry.port;
    j["by_id"] = p.entry.alias.empty() ? nlohmann::json() : nlohmann::json(p.entry.alias);
    j["bluetooth"] = p.entry.bluetooth;
    j["result"] = p.result;
    if (p.result != "answering")
        j["reason"] = p.detail;
    return j;
}

}  // namespace

Outcome RunPorts(const CliOptions& o, bool probe, const std::vector<std::string>& named,
                 const std::vector<std::string>& excluded)
{
    Outcome out;
    out.doc["command"] = "ports";
    out.doc["probe"] = probe;
    std::vector<Probed> ports;
    for (const PortEntry& e : ListPorts())
        if (named.empty() || std::find(named.begin(), named.end(), e.port) != named.end())
            ports.push_back(Entry(e));
    // Named ports the list lacks: a path on Linux, a port Windows does not
    // list (yet); the probe finds out.
    for (const std::string& n : named)
        if (std::none_of(ports.begin(), ports.end(), [&](const Probed& p) { return p.entry.port == n; }))
            ports.push_back(Entry(PortEntry{n, "", false}));

    if (!probe) {
        out.doc["ports"] = nlohmann::json::array();
        for (const Probed& p : ports) {
            out.doc["ports"].push_back(Record(p));
            out.doc["ports"].back().erase("result");
            out.text.push_back(p.entry.alias.empty() ? p.entry.port : p.entry.port + "  " + p.entry.alias);
        }
        if (out.text.empty())
            out.text.push_back("no serial ports found");
        return out;
    }

    // Opening a Bluetooth port makes the system try to connect, for seconds;
    // a port may belong to a modem or a console. Named ports are probed.
    for (Probed& p : ports) {
        if (!named.empty())
            continue;
        if (std::find(excluded.begin(), excluded.end(), p.entry.port) != excluded.end())
            Settle(p, "skipped", "excluded");
        else if (p.entry.bluetooth)
            Settle(p, "skipped", "a Bluetooth port");
    }

    Wakeup progress;
    if (!StartInterruptWatch(progress))
        return Fail(out, ExitPort, "cannot start the progress and Ctrl+C wake-ups");
    std::mutex lock;   // the records, written by the port threads, read by this one
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i; (i = next.fetch_add(1)) < ports.size();) {
            if (ports[i].done || Interrupted())
                continue;
            Probed probed;
            {
                std::lock_guard<std::mutex> hold(lock);
                ports[i].result = "probing";
                probed = ports[i];
            }
            SignalWakeup(progress);
            ProbePort(o, probed);
            {
                std::lock_guard<std::mutex> hold(lock);
                ports[i] = probed;
            }
            SignalWakeup(progress);
        }
    };
    const size_t jobs = std::min<size_t>(std::max<size_t>(ports.size(), 1), MaxJobs);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < jobs; ++t)
        threads.emplace_back(work);
    LiveView view = MakeLiveView(o.json);
    std::vector<bool> noted(ports.size(), false);
    size_t width = 0;
    for (const Probed& p : ports)
        width = std::max(width, p.entry.port.size());
    for (;;) {
        std::vector<std::string> lines;
        bool all = true;
        {
            std::lock_guard<std::mutex> hold(lock);
            for (size_t i = 0; i < ports.size(); ++i) {
                lines.push_back(Line(ports[i], width));
                if (ports[i].done && !noted[i]) {
                    Note(view, lines.back());
                    noted[i] = true;
                }
                all = all && ports[i].done;
            }
        }
        Redraw(view, lines);
        // Ctrl+C: the probes at work end on their own, each once its session
        // has closed its port; the join below waits for them.
        if (all || Interrupted())
            break;
        WaitWakeup(progress, WaitForever);
    }
    for (std::thread& t : threads)
        t.join();
    EndInterruptWatch(progress);

    out.doc["ports"] = nlohmann::json::array();
    std::vector<std::string> lines;
    for (Probed& p : ports) {
        if (!p.done) {
            Settle(p, "interrupted", "not probed: interrupted");
            Note(view, Line(p, width));
        }
        out.doc["ports"].push_back(Record(p));
        lines.push_back(Line(p, width));
    }
    Redraw(view, lines);
    // Each port's line is on the screen already: redrawn in place on a
    // terminal, printed as the port ended elsewhere.
    if (ports.empty())
        out.text.push_back("no serial ports found");
    if (Interrupted())
        Fail(out, ExitInterrupted, "interrupted: the ports probed so far are shown");
    return out;
}
