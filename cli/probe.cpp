// ports and ports --probe: the ports there are, and which device answers on
// which of them. The probe opens every port it may at once, each in a
// session of its own on a worker of this process, asks each for its network
// settings, and closes each again; so the whole probe takes about --timeout
// however many ports there are.
#include <algorithm>
#include <memory>

#include "cli/cli.h"
#include "cli/device_link.h"
#include "cli/device_steps.h"
#include "cli/failure_text.h"
#include "cli/interrupt.h"
#include "cli/live_view.h"
#include "cli/port_selector.h"
#include "cli/ports.h"
#include "cli/worker_pool.h"

namespace {

struct Probed {
    std::string port;      // as listed, or as named with -p
    ListedPort listed{};   // what the system says of it; undescribed for a named port it does not list
    std::string result = "waiting";   // answering, silent, held, failed, refused, skipped, interrupted
    std::string detail;               // the settings, or why
    nlohmann::json doc;
    bool done = false;
};

Probed Entry(const std::string& port, const ListedPort& listed)
{
    Probed p;
    p.port = port;
    p.listed = listed;
    return p;
}

void Settle(Probed& p, const char* result, const std::string& detail)
{
    p.result = result;
    p.detail = detail;
    p.done = true;
}

// Asks an opened port for its network settings.
void Ask(const CliOptions& o, DeviceLink& link, Probed& p)
{
    ExpectReply(link, GetNetConfig);
    const Result written = SendGetNetConfig(link.session);
    if (!Succeeded(written)) {
        Settle(p, "failed", WriteFailureText(written, p.port));
        return;
    }
    uint8_t status = 0;
    const Answer answer = AwaitReply(link, GetNetConfig, o.timeoutMs, &status);
    if (answer == Answer::Accepted) {
        const NetConfig config = ReceivedNetConfig(link);
        p.doc.update(SettingsJson(config));
        Settle(p, "answering", SettingsSummary(config.dhcp, config.ipAddress, config.subnetMask, config.gateway));
    } else if (answer == Answer::Refused) {
        p.doc["status"] = status;
        Settle(p, "refused", "answers, but refused the request (status " + std::to_string(status) + ")");
    } else if (answer == Answer::Interrupted) {
        Settle(p, "interrupted", "interrupted");
    } else if (answer == Answer::Removed) {
        Result why;
        LinkRemoved(link, &why);
        Settle(p, "failed", RemovalText(why, p.port));
    } else {
        Settle(p, "silent", "no answer within " + std::to_string(o.timeoutMs) + " ms");
    }
}

// One port: open it (a port another program holds is "held"), ask, close.
void ProbePort(const CliOptions& o, Probed& p)
{
    auto link = std::make_unique<DeviceLink>();
    const Result started = StartLink(*link, SupervisionHost{});
    if (!Succeeded(started)) {
        Settle(p, "failed", "cannot start the port's session: " + ResultText(started));
        return;
    }
    const Result opened = OpenLink(*link, p.port);
    if (opened.status == Status::Busy) {
        Settle(p, "held", "another program holds it: " + SystemErrorText(opened.osError));
    } else if (opened.status == Status::LineRefused) {
        Settle(p, "failed", "the system refused the line settings: " + SystemErrorText(opened.osError));
    } else if (!Succeeded(opened)) {
        Settle(p, "failed", OpenFailureText(opened));
    } else {
        Ask(o, *link, p);
    }
    CloseLink(*link);
    EndLink(*link);
}

// One line of the view and the plain output; `width` is the widest port's.
// An answering device's adapter follows its settings, so that a rack's
// sheet can be written from it.
std::string Line(const Probed& p, size_t width)
{
    std::string port = p.port;
    port.resize(width + 2, ' ');
    std::string result = p.result;
    result.resize(std::max<size_t>(result.size() + 2, 12), ' ');
    const std::string adapter = AdapterText(p.listed.identity);
    return port + result + p.detail + (adapter.empty() ? "" : "  [" + adapter + "]");
}

nlohmann::json Record(const Probed& p)
{
    nlohmann::json j = p.doc;
    j.update(IdentityJson(p.listed.identity));
    j["port"] = p.port;
    j["by_id"] = p.listed.alias[0] == '\0' ? nlohmann::json() : nlohmann::json(p.listed.alias);
    j["bluetooth"] = p.listed.bluetooth;
    j["result"] = p.result;
    if (p.result != "answering")
        j["reason"] = p.detail;
    return j;
}

// Ports and adapters as named (-p, --exclude), resolved among `present`;
// false, with `out` failed and nothing opened, when a selector matches no
// port or several.
bool Resolve(const std::vector<std::string>& names, const std::vector<ListedPort>& present,
             std::vector<std::string>& ports, Outcome& out)
{
    for (const std::string& n : names) {
        const PortChoice choice = ChoosePort(n, present);
        if (choice.code != ExitDone) {
            out.doc["selector"] = n;
            SetFailure(out, choice.code, choice.problem);
            return false;
        }
        ports.push_back(choice.port);
    }
    return true;
}

// The system's ports, or those named with -p; named ports the list lacks (a
// path on Linux, a port Windows does not list yet) are added: the probe
// finds out.
std::vector<Probed> PortsToShow(const std::vector<ListedPort>& present, const std::vector<std::string>& named)
{
    std::vector<Probed> ports;
    for (const ListedPort& e : present)
        if (named.empty() || std::find(named.begin(), named.end(), e.name) != named.end())
            ports.push_back(Entry(e.name, e));
    for (const std::string& n : named)
        if (std::none_of(ports.begin(), ports.end(), [&](const Probed& p) { return p.port == n; }))
            ports.push_back(Entry(n, ListedPort{}));
    return ports;
}

// port, description, vid:pid, serial, location, and the by-id name where
// there is one: a table a rack's sheet can be written from.
std::vector<std::string> Table(const std::vector<Probed>& ports)
{
    auto text = [](const char* t) { return t[0] != '\0' ? std::string(t) : std::string("-"); };
    std::vector<std::vector<std::string>> cells{{"port", "description", "vid:pid", "serial", "location", ""}};
    for (const Probed& p : ports) {
        const PortIdentity& id = p.listed.identity;
        cells.push_back({p.port, text(id.description), id.vid[0] != '\0' ? std::string(id.vid) + ":" + id.pid : "-",
                         text(id.serial), text(id.location), p.listed.alias});
    }
    std::vector<size_t> widths(cells[0].size(), 0);
    for (const auto& row : cells)
        for (size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], row[c].size() + 2);
    std::vector<std::string> lines;
    for (const auto& row : cells) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c)
            line += c + 1 < row.size() ? row[c] + std::string(widths[c] - row[c].size(), ' ') : row[c];
        lines.push_back(line.substr(0, line.find_last_not_of(' ') + 1));
    }
    return lines;
}

Outcome& ListOnly(Outcome& out, const std::vector<Probed>& ports)
{
    out.doc["ports"] = nlohmann::json::array();
    for (const Probed& p : ports) {
        out.doc["ports"].push_back(Record(p));
        out.doc["ports"].back().erase("result");
        out.doc["ports"].back().erase("reason");
    }
    out.text = ports.empty() ? std::vector<std::string>{"no serial ports found"} : Table(ports);
    return out;
}

// Opening a Bluetooth port makes the system try to connect, for seconds;
// a port may belong to a modem or a console. Named ports are probed.
void LeaveOut(std::vector<Probed>& ports, bool named, const std::vector<std::string>& excluded)
{
    for (Probed& p : ports) {
        if (named)
            continue;
        if (std::find(excluded.begin(), excluded.end(), p.port) != excluded.end())
            Settle(p, "skipped", "excluded");
        else if (p.listed.bluetooth)
            Settle(p, "skipped", "a Bluetooth port");
    }
}

// The probe's records, shared by the workers and the calling thread under
// the pool's lock; `view` and `noted` are the calling thread's.
struct Probe {
    const CliOptions* options;
    std::vector<Probed> ports;
    LiveView view;
    std::vector<bool> noted;
    size_t width = 0;
};

void ProbeItem(void* context, WorkerPool& pool, size_t i)
{
    Probe& probe = *static_cast<Probe*>(context);
    EnterLock(pool.lock);
    Probed probed = probe.ports[i];
    if (!probed.done)
        probe.ports[i].result = "probing";
    LeaveLock(pool.lock);
    if (probed.done)
        return;   // left out: excluded, or a Bluetooth port
    PoolChanged(pool);
    ProbePort(*probe.options, probed);
    EnterLock(pool.lock);
    probe.ports[i] = probed;
    LeaveLock(pool.lock);
    PoolChanged(pool);
}

bool ShowProbe(void* context)
{
    Probe& probe = *static_cast<Probe*>(context);
    std::vector<std::string> lines;
    bool all = true;
    for (size_t i = 0; i < probe.ports.size(); ++i) {
        lines.push_back(Line(probe.ports[i], probe.width));
        if (probe.ports[i].done && !probe.noted[i]) {
            Note(probe.view, lines.back());
            probe.noted[i] = true;
        }
        all = all && probe.ports[i].done;
    }
    Redraw(probe.view, lines);
    return all;
}

// Ends the probe's records: a port not probed is interrupted, each port's
// record goes into the document, and the lines are drawn a last time. Each
// port's line is on the screen already: redrawn in place on a terminal,
// printed as the port ended elsewhere.
void RecordProbeResults(Probe& probe, Outcome& out)
{
    out.doc["ports"] = nlohmann::json::array();
    std::vector<std::string> lines;
    for (Probed& p : probe.ports) {
        if (!p.done) {
            Settle(p, "interrupted", "not probed: interrupted");
            Note(probe.view, Line(p, probe.width));
        }
        out.doc["ports"].push_back(Record(p));
        lines.push_back(Line(p, probe.width));
    }
    Redraw(probe.view, lines);
    if (probe.ports.empty())
        out.text.push_back("no serial ports found");
}

}  // namespace

Outcome RunPorts(const CliOptions& o, bool probeThem, const std::vector<std::string>& named,
                 const std::vector<std::string>& excluded)
{
    Outcome out;
    out.doc["command"] = "ports";
    out.doc["probe"] = probeThem;
    Result reading;
    const std::vector<ListedPort> present = PresentPorts(&reading);
    if (!Succeeded(reading))
        SetFailure(out, ExitPort, "the system's list of ports could not be read whole: " + ResultText(reading));
    std::vector<std::string> namedPorts, excludedPorts;
    if (!Resolve(named, present, namedPorts, out) || !Resolve(excluded, present, excludedPorts, out))
        return out;
    Probe probe{&o, PortsToShow(present, namedPorts), MakeLiveView(o.json), {}, 0};
    if (!probeThem)
        return ListOnly(out, probe.ports);
    LeaveOut(probe.ports, !named.empty(), excludedPorts);
    probe.noted.assign(probe.ports.size(), false);
    for (const Probed& p : probe.ports)
        probe.width = std::max(probe.width, p.port.size());

    WorkerPool pool;
    const Result ran = RunPool(pool, PoolJob{&probe, probe.ports.size(), ProbeItem, ShowProbe}, MaxJobs);
    RecordProbeResults(probe, out);
    if (!Succeeded(ran))
        return SetFailure(out, ExitInternal, "cannot probe the ports: " + ResultText(ran));
    if (Interrupted())
        SetFailure(out, ExitInterrupted, "interrupted: the ports probed so far are shown");
    return out;
}
