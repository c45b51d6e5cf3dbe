// provision: every row checked first, then up to --jobs rows at once, each a
// session of its own on a worker of this process, a live line per device,
// a line of the audit log as each row ends, and at the end a table and, if
// asked, a report file. Ctrl+C ends every session (so every port is closed)
// and reports the rows that finished; the others are marked as interrupted.
#include <algorithm>

#include "cli/audit_log.h"
#include "cli/cli.h"
#include "cli/device_steps.h"
#include "cli/failure_text.h"
#include "cli/interrupt.h"
#include "cli/live_view.h"
#include "cli/port_selector.h"
#include "cli/ports.h"
#include "cli/provision_file.h"
#include "cli/provision_report.h"
#include "cli/worker_pool.h"

namespace {

// The rows' results, shared by the workers and the calling thread under
// the pool's lock (each row's by its own worker); `view` and `noted` are
// the calling thread's; the rest is set before the workers start, then
// only read (the log is written by any thread, a whole line at a time).
struct Run {
    const CliOptions* options;
    const std::vector<ProvisionRow>* rows;
    std::vector<RowResult> results;
    LiveView view;
    std::vector<std::string> noted;
    std::vector<PortIdentity> adapters;   // each row's port's, as the system describes it
    AuditLog log;                         // -1: no --log
    RunStamp stamp;
    bool readMac;
};

// The row's line in the audit log, on the disk before the row is shown as
// done. A line that cannot be written fails the row: the record is what a
// production line trusts.
void LogRow(Run& run, size_t i, RowResult& settled)
{
    if (run.log.file == -1)
        return;
    const Result written = AppendAuditLine(run.log, AuditRecord(settled, run.adapters[i], run.stamp).dump(
                                                        -1, ' ', false, nlohmann::json::error_handler_t::replace));
    if (!Succeeded(written))
        SettleRow(settled, std::max(settled.code, static_cast<int>(ExitUsage)),
                  "the audit log could not be written: " + ResultText(written));
}

void Update(WorkerPool& pool, RowResult& result, const char* stage)
{
    EnterLock(pool.lock);
    result.stage = stage;
    LeaveLock(pool.lock);
    PoolChanged(pool);
}

// Sets up one device: the network, then the password if the row asks, and
// once both are verified reads its MAC unless told not to.
void Provision(WorkerPool& pool, RowResult& result, const ProvisionRow& row, const CliOptions& o, bool mac,
               Outcome& out)
{
    Update(pool, result, "opening");
    WithDevice(o, out, [&](DeviceLink& link) {
        Update(pool, result, "network");
        if (!ApplyNetwork(link, o, row.network, out))
            return;
        if (row.changePassword) {
            Update(pool, result, "password");
            if (!ApplyPassword(link, o, row.gbkPassword, out))
                return;
        }
        if (mac) {
            Update(pool, result, "mac");
            ReadMac(link, o, out);
        }
    });
}

void WorkRow(void* context, WorkerPool& pool, size_t i)
{
    Run& run = *static_cast<Run*>(context);
    const ProvisionRow& row = (*run.rows)[i];
    RowResult& result = run.results[i];
    if (!row.error.empty())
        return;   // a bad row: nothing is sent
    CliOptions o = *run.options;
    o.port = row.port;
    o.selector = row.selector;
    if (!o.traceFile.empty())
        o.traceFile += ".line" + std::to_string(row.line);
    Outcome out;
    const int64_t started = MonotonicMicroseconds();
    Provision(pool, result, row, o, run.readMac, out);
    EnterLock(pool.lock);
    RowResult settled = result;
    LeaveLock(pool.lock);
    settled.doc = out.doc;
    settled.seconds = static_cast<double>(MonotonicMicroseconds() - started) / 1e6;
    SettleRow(settled, out.code, out.message);
    LogRow(run, i, settled);
    EnterLock(pool.lock);
    result = settled;
    LeaveLock(pool.lock);
    PoolChanged(pool);
}

std::vector<std::string> Lines(const std::vector<RowResult>& results)
{
    std::vector<std::string> lines;
    for (const RowResult& r : results)
        lines.push_back(ProgressLine(r));
    return lines;
}

bool ShowRows(void* context)
{
    Run& run = *static_cast<Run*>(context);
    Redraw(run.view, Lines(run.results));
    bool all = true;
    for (size_t i = 0; i < run.results.size(); ++i) {
        const RowResult& r = run.results[i];
        const std::string line = ProgressLine(r);
        if (r.stage != "waiting" && line != run.noted[i] && (r.finished || run.noted[i].empty()))
            Note(run.view, run.noted[i] = line);
        all = all && r.finished;
    }
    return all;
}

// Selectors in the port column are resolved once, among the ports present
// now; a row whose selector matches no port or several is refused, and so
// is a second row on a port, however the two named it.
void ResolveRows(std::vector<ProvisionRow>& rows, const std::vector<ListedPort>& present)
{
    for (size_t i = 0; i < rows.size(); ++i) {
        ProvisionRow& row = rows[i];
        if (!row.error.empty() || !IsAdapterSelector(row.port))
            continue;
        const PortChoice choice = ChoosePort(row.port, present);
        if (choice.code != ExitDone) {
            row.error = "field port: " + choice.problem;
            row.errorCode = choice.code;
            continue;
        }
        row.selector = row.port;
        row.port = choice.port;
        for (size_t k = 0; k < i && row.error.empty(); ++k)
            if (rows[k].error.empty() && rows[k].port == row.port)
                row.error = "field port: " + PortAndSelector(row.port, row.selector) + " already on line " +
                            std::to_string(rows[k].line);
    }
}

// What the system says of each row's port, for the log.
std::vector<PortIdentity> Adapters(const std::vector<ProvisionRow>& rows, const std::vector<ListedPort>& present)
{
    std::vector<PortIdentity> adapters(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        for (const ListedPort& e : present)
            if (rows[i].port == e.name)
                adapters[i] = e.identity;
    return adapters;
}

// Rows refused before anything is sent are done (and logged) at once.
void SettleBadRows(Run& run)
{
    for (size_t i = 0; i < run.rows->size(); ++i) {
        run.results[i].row = &(*run.rows)[i];
        if (!(*run.rows)[i].error.empty()) {
            SettleRow(run.results[i], (*run.rows)[i].errorCode, (*run.rows)[i].error);
            LogRow(run, i, run.results[i]);
            Note(run.view, ProgressLine(run.results[i]));
        }
    }
}

// The worst row's code; rows Ctrl+C left unstarted are interrupted, and
// logged as such.
int Conclude(Run& run)
{
    int worst = ExitDone;
    for (size_t i = 0; i < run.results.size(); ++i) {
        RowResult& r = run.results[i];
        if (!r.finished) {
            SettleRow(r, ExitInterrupted, "not started: interrupted");
            LogRow(run, i, r);
        }
        worst = std::max(worst, r.code);
    }
    Redraw(run.view, Lines(run.results));
    return Interrupted() ? static_cast<int>(ExitInterrupted) : worst;
}

// The sheet's rows, checked and their adapters resolved; false with `out`
// failed when the sheet cannot be read.
bool ReadRows(const ProvisionOptions& p, Run& run, std::vector<ProvisionRow>& rows, Outcome& out)
{
    std::string error;
    if (!ReadProvisionFile(p.sheet, p.encoding, rows, error)) {
        SetFailure(out, ExitUsage, error);
        return false;
    }
    const bool any = std::any_of(rows.begin(), rows.end(), [](const ProvisionRow& r) { return IsAdapterSelector(r.port); });
    const std::vector<ListedPort> present = any || !p.log.empty() ? PresentPorts() : std::vector<ListedPort>();
    ResolveRows(rows, present);
    run.adapters = Adapters(rows, present);
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

// The table, the JSON rows and the report file of a finished run.
Outcome& Report(const ProvisionOptions& p, const Run& run, int worst, Outcome& out)
{
    out.code = worst;
    out.doc["result"] = ResultWord(worst);
    out.doc["exit_code"] = worst;
    out.doc["rows"] = RowsJson(run.results);
    if (!run.options->json)
        out.text = TableLines(run.results);
    if (!p.report.empty()) {
        const Result written = WriteReport(p.report, out.doc, run.results);
        if (!Succeeded(written))
            return SetFailure(out, std::max(worst, static_cast<int>(ExitUsage)),
                              "cannot write the report " + p.report + ": " + ResultText(written));
    }
    if (worst != ExitDone)
        out.message = Interrupted() ? "interrupted: the report has the rows that finished" : "some rows failed";
    return out;
}

}  // namespace

Outcome RunProvision(const CliOptions& o, const ProvisionOptions& p)
{
    Outcome out;
    out.doc["command"] = "provision";
    out.doc["file"] = p.sheet;
    std::vector<ProvisionRow> rows;
    Run run{&o, &rows, {}, MakeLiveView(o.json), {}, {}, AuditLog{}, RunStamp{}, p.mac};
    if (!ReadRows(p, run, rows, out) || !OpenLog(p, run, out))
        return out;
    run.results.resize(rows.size());
    run.noted.resize(rows.size());
    const size_t jobs = std::min<size_t>(p.jobs > 0 ? static_cast<size_t>(p.jobs) : DefaultJobs, std::max<size_t>(rows.size(), 1));
    out.doc["jobs"] = jobs;
    SettleBadRows(run);
    WorkerPool pool;
    const Result ran = RunPool(pool, PoolJob{&run, rows.size(), WorkRow, ShowRows}, jobs);
    const int worst = Succeeded(ran) ? Conclude(run) : std::max(Conclude(run), static_cast<int>(ExitInternal));
    CloseAuditLog(run.log);
    if (!Succeeded(ran))
        return SetFailure(Report(p, run, worst, out), worst, "cannot work the rows: " + ResultText(ran));
    return Report(p, run, worst, out);
}
