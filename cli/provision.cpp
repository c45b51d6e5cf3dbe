// provision: every row checked first, then up to --jobs rows at once, each a
// session of its own on a worker of this process, a live line per device,
// a line of the audit log as each row ends, and at the end a table and, if
// asked, a report file. Ctrl+C ends every session (so every port is closed)
// and reports the rows that finished; the others are marked as interrupted.
// Once a line of the log cannot be written, no further row starts: no unit
// is changed without its record.
#include <algorithm>

#include "cli/address_history.h"
#include "cli/audit_log.h"
#include "cli/cli.h"
#include "cli/device_steps.h"
#include "cli/failure_text.h"
#include "cli/interrupt.h"
#include "cli/live_view.h"
#include "cli/port_selector.h"
#include "cli/ports.h"
#include "cli/provision_checks.h"
#include "cli/provision_file.h"
#include "cli/provision_report.h"
#include "cli/worker_pool.h"

namespace {

// The rows' outcomes, shared by the workers and the calling thread under
// the pool's lock (each row's by its own worker), and so is `logBroken`;
// `view` and `noted` are the calling thread's; the rest is set before the
// workers start, then only read (the log is written by any thread, a whole
// line at a time).
struct Run {
    const CliOptions* options = nullptr;
    const ProvisionOptions* provisioning = nullptr;
    const std::vector<ProvisionRow>* rows = nullptr;
    std::vector<RowOutcome> results;
    LiveView view;
    std::vector<std::string> noted;
    AuditLog log;   // not open without --log
    RunStamp stamp;
    bool logBroken = false;   // a line could not be written: no further row starts
};

// The row's line in the audit log, on the disk before the row is shown as
// done. A unit changed without its line is not_recorded; a row that wrote
// nothing to its unit is at least log_failed. False when the line failed.
bool LogRow(Run& run, RowOutcome& settled)
{
    if (!AuditLogIsOpen(run.log))
        return true;
    const Result written = AppendAuditLine(
        run.log, AuditRecord(settled, run.stamp).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    if (Succeeded(written))
        return true;
    const std::string why = "its line could not be written to the log: " + ResultText(written);
    const std::string before = settled.reason.empty() ? "" : " (the row: " + settled.reason + ")";
    if (settled.device.wrote)
        SettleRow(settled, ExitNotRecorded, "the unit was changed, but " + why + before);
    else
        SettleRow(settled, std::max(settled.code, static_cast<int>(ExitLogFailed)),
                  "nothing was written to the unit, but " + why + before);
    return false;
}

// Logs a finished row and hands it to the calling thread.
void Store(Run& run, WorkerPool& pool, size_t i, RowOutcome& settled)
{
    const bool logged = LogRow(run, settled);
    EnterLock(pool.lock);
    run.logBroken = run.logBroken || !logged;
    run.results[i] = settled;
    LeaveLock(pool.lock);
    PoolChanged(pool);
}

void Update(WorkerPool& pool, RowOutcome& result, const char* stage)
{
    EnterLock(pool.lock);
    result.stage = stage;
    LeaveLock(pool.lock);
    PoolChanged(pool);
}

std::string ConflictText(const std::string& ip, const std::string& mac, const AddressVerdict& v)
{
    const std::string owner = v.ownerMac.empty() ? "a unit whose MAC was not read" : v.ownerMac;
    const std::string unit = mac.empty() ? "this unit's MAC could not be read to show the address is its own"
                                         : "this unit is " + mac;
    return "conflict: the log gives " + ip + " to " + owner + " (recorded " + v.ownerTime + "), and " + unit +
           "; nothing was written to it (--reassign gives it the address)";
}

// The short line that holds an address for a unit from the moment it is
// checked until the row's own line comes.
std::string ClaimLine(const Run& run, const ProvisionRow& row, const std::string& ip, const std::string& mac)
{
    nlohmann::json j;
    j["claimed_ip"] = ip;
    j["mac"] = mac.empty() ? nlohmann::json() : nlohmann::json(mac);
    j["time"] = UtcTimestamp();
    j["station"] = run.stamp.station;
    j["operator"] = run.stamp.operatorName;
    j["sheet"] = run.stamp.sheet;
    j["line"] = row.line;
    j["port"] = row.port;
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Just before the row writes to its unit, under one lock of the log: its
// word on the row's address, then a claim. False with `out` failed when the
// log gives the address to another unit (conflict) or cannot be consulted.
bool ClaimAddress(Run& run, const ProvisionRow& row, Outcome& out, RowHistory& history)
{
    if (!AuditLogIsOpen(run.log) || row.network.dhcp)
        return true;
    const std::string ip = DottedText(row.network.ipAddress);
    const std::string mac = out.device.mac;
    AddressVerdict verdict;
    const Result consulted = ConsultAuditLog(run.log, [&](const std::string& text) {
        verdict = JudgeAddress(text, ip, mac);
        return MayTake(verdict, mac) || run.provisioning->reassign ? ClaimLine(run, row, ip, mac) : std::string();
    });
    if (!Succeeded(consulted)) {
        SetFailure(out, ExitLogFailed, "the log could not be consulted before writing: " + ResultText(consulted));
        return false;
    }
    if (!MayTake(verdict, mac) && !run.provisioning->reassign) {
        SetFailure(out, ExitConflict, ConflictText(ip, mac, verdict));
        return false;
    }
    history.previousIp = verdict.previousIp;
    if (!MayTake(verdict, mac)) {
        history.formerOwner = verdict.ownerMac;
        history.formerTime = verdict.ownerTime;
    }
    return true;
}

// Whether the unit already holds everything the row asks.
bool HoldsAlready(const ProvisionRow& row, const NetConfig& held, const std::string& password)
{
    return SameSettings(row.network, held) && (!row.changePassword || password == row.gbkPassword);
}

// Sets up one unit: its MAC first, then what it holds now, then the log's
// word on its address and a claim; then, unless it already holds all that
// is asked, the network and the password, each verified.
void Provision(WorkerPool& pool, Run& run, size_t i, const CliOptions& o, Outcome& out, RowHistory& history)
{
    const ProvisionRow& row = (*run.rows)[i];
    RowOutcome& result = run.results[i];
    Update(pool, result, "opening");
    WithDevice(o, out, [&](DeviceLink& link) {
        if (run.provisioning->mac) {
            Update(pool, result, "mac");
            if (!ReadMac(link, o, out))
                return;
        }
        Update(pool, result, "reading");
        NetConfig held{};
        std::string password;
        if (!ReadCurrent(link, o, row.changePassword, held, password, out) || !ClaimAddress(run, row, out, history))
            return;
        if (!run.provisioning->force && HoldsAlready(row, held, password)) {
            out.device.readBackTaken = true;
            out.device.readBack = held;
            out.device.verdict = UnchangedWord;
            return;
        }
        Update(pool, result, "network");
        if (!ApplyNetwork(link, o, row.network, out))
            return;
        if (row.changePassword) {
            Update(pool, result, "password");
            ApplyPassword(link, o, row.gbkPassword, out);
        }
    });
}

void WorkRow(void* context, WorkerPool& pool, size_t i)
{
    Run& run = *static_cast<Run*>(context);
    const ProvisionRow& row = (*run.rows)[i];
    if (!row.error.empty())
        return;   // a bad row: nothing is sent
    EnterLock(pool.lock);
    RowOutcome settled = run.results[i];
    const bool stopped = run.logBroken;
    LeaveLock(pool.lock);
    if (stopped) {
        SettleRow(settled, ExitLogFailed, "not started: a line of the log could not be written, and no unit is "
                                          "changed without its line");
        Store(run, pool, i, settled);
        return;
    }
    CliOptions o = *run.options;
    o.port = row.port;
    o.selector = row.selector;
    if (!o.traceFile.empty())
        o.traceFile += ".line" + std::to_string(row.line);
    Outcome out;
    RowHistory history;
    const int64_t started = MonotonicMicroseconds();
    Provision(pool, run, i, o, out, history);
    EnterLock(pool.lock);
    settled = run.results[i];
    LeaveLock(pool.lock);
    settled.device = out.device;
    settled.history = history;
    settled.seconds = static_cast<double>(MonotonicMicroseconds() - started) / 1e6;
    SettleRow(settled, out.code, out.message, out.device.verdict);
    Store(run, pool, i, settled);
}

std::vector<std::string> Lines(const std::vector<RowOutcome>& results)
{
    std::vector<std::string> lines;
    for (const RowOutcome& r : results)
        lines.push_back(ProgressLine(r));
    return lines;
}

bool ShowRows(void* context)
{
    Run& run = *static_cast<Run*>(context);
    Redraw(run.view, Lines(run.results));
    bool all = true;
    for (size_t i = 0; i < run.results.size(); ++i) {
        const RowOutcome& r = run.results[i];
        const std::string line = ProgressLine(r);
        if (r.stage != "waiting" && line != run.noted[i] && (r.finished || run.noted[i].empty()))
            Note(run.view, run.noted[i] = line);
        all = all && r.finished;
    }
    return all;
}

// Rows refused before anything is sent are done (and logged) at once.
void SettleBadRows(Run& run, const std::vector<ListedPort>& present)
{
    for (size_t i = 0; i < run.rows->size(); ++i) {
        const ProvisionRow& row = (*run.rows)[i];
        RowOutcome& r = run.results[i];
        r.row = &row;
        for (const ListedPort& e : present)
            if (row.port == e.name)
                r.adapter = e.identity;
        if (!row.error.empty()) {
            SettleRow(r, row.errorCode, row.error);
            run.logBroken = !LogRow(run, r) || run.logBroken;
            Note(run.view, ProgressLine(r));
        }
    }
}

// The worst row's code; rows Ctrl+C left unstarted are interrupted, and
// logged as such.
int Conclude(Run& run)
{
    int worst = ExitDone;
    for (RowOutcome& r : run.results) {
        if (!r.finished) {
            SettleRow(r, ExitInterrupted, "not started: interrupted");
            LogRow(run, r);
        }
        worst = std::max(worst, r.code);
    }
    Redraw(run.view, Lines(run.results));
    return Interrupted() ? static_cast<int>(ExitInterrupted) : worst;
}

// The sheet's rows, checked against each other and the ports present; false
// with `out` failed when the sheet cannot be read.
bool ReadRows(const ProvisionOptions& p, std::vector<ProvisionRow>& rows, std::vector<ListedPort>& present,
              Outcome& out)
{
    std::string error;
    if (!ReadProvisionFile(p.sheet, p.encoding, rows, error)) {
        SetFailure(out, ExitUsage, error);
        return false;
    }
    present = PresentPorts();
    ResolveRows(rows, present);
    RefuseUnusableAddresses(rows, p.remoteGateway);
    RefuseSharedPortsAndAddresses(rows, present);
    return true;
}

// The log is opened before anything is sent: a run that cannot keep its
// record does not start.
bool OpenLog(const ProvisionOptions& p, Run& run, Outcome& out)
{
    if (p.log.empty())
        return true;
    const Result opened = OpenAuditLog(run.log, p.log);
    if (!Succeeded(opened))
        SetFailure(out, ExitUsage, "cannot open the log " + p.log + ": " + ResultText(opened));
    run.stamp = RunStamp{StationName(), p.operatorName.empty() ? LoginName() : p.operatorName, p.version,
                         p.sheet.substr(p.sheet.find_last_of("/\\") + 1)};
    return Succeeded(opened);
}

// "changed but not recorded: line 2 /dev/ttyUSB0 (MAC ...)", one per unit.
std::vector<std::string> UnrecordedUnits(const std::vector<RowOutcome>& results)
{
    std::vector<std::string> lines;
    for (const RowOutcome& r : results)
        if (ChangedButNotRecorded(r))
            lines.push_back("changed but not recorded in the log: line " + std::to_string(r.row->line) + " " +
                            PortAndSelector(r.row->port, r.row->selector) +
                            (r.device.mac.empty() ? "" : " (MAC " + r.device.mac + ")"));
    return lines;
}

// The table, the JSON rows and the report file of a finished run.
Outcome& ReportProvision(const ProvisionOptions& p, const Run& run, int worst, Outcome& out)
{
    out.code = worst;
    out.doc["result"] = ResultWord(worst);
    out.doc["exit_code"] = worst;
    out.doc["rows"] = RowsJson(run.results);
    const std::vector<std::string> unrecorded = UnrecordedUnits(run.results);
    if (!run.options->json) {
        out.text = TableLines(run.results);
        out.text.insert(out.text.end(), unrecorded.begin(), unrecorded.end());
    }
    if (!p.report.empty()) {
        const Result written = WriteReport(p.report, out.doc, run.results);
        if (!Succeeded(written))
            return SetFailure(out, std::max(worst, static_cast<int>(ExitUsage)),
                              "cannot write the report " + p.report + ": " + ResultText(written));
    }
    if (worst != ExitDone)
        out.message = Interrupted()       ? "interrupted: the report has the rows that finished"
                      : !unrecorded.empty() ? "units were changed without their line in the log: see the report"
                                            : "some rows failed";
    return out;
}

}  // namespace

Outcome RunProvision(const CliOptions& o, const ProvisionOptions& p)
{
    Outcome out;
    out.doc["command"] = "provision";
    out.doc["file"] = p.sheet;
    std::vector<ProvisionRow> rows;
    std::vector<ListedPort> present;
    Run run;
    run.options = &o;
    run.provisioning = &p;
    run.rows = &rows;
    run.view = MakeLiveView(o.json);
    if (!ReadRows(p, rows, present, out) || !OpenLog(p, run, out))
        return out;
    run.results.resize(rows.size());
    run.noted.resize(rows.size());
    const size_t jobs = std::min<size_t>(p.jobs > 0 ? static_cast<size_t>(p.jobs) : DefaultJobs, std::max<size_t>(rows.size(), 1));
    out.doc["jobs"] = jobs;
    SettleBadRows(run, present);
    WorkerPool pool;
    const Result ran = RunPool(pool, PoolJob{&run, rows.size(), WorkRow, ShowRows}, jobs);
    const int worst = Succeeded(ran) ? Conclude(run) : std::max(Conclude(run), static_cast<int>(ExitInternal));
    CloseAuditLog(run.log);
    if (!Succeeded(ran))
        return SetFailure(ReportProvision(p, run, worst, out), worst, "cannot work the rows: " + ResultText(ran));
    return ReportProvision(p, run, worst, out);
}
