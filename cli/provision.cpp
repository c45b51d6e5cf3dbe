// provision: every row checked first, then up to --jobs rows at once, each a
// session of its own on a worker of this process, a live line per device,
// and at the end a table and, if asked, a report file. Ctrl+C ends every
// session (so every port is closed) and reports the rows that finished; the
// others are marked as interrupted.
#include <algorithm>

#include "cli/cli.h"
#include "cli/device_steps.h"
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
// the calling thread's.
struct Run {
    const CliOptions* options;
    const std::vector<ProvisionRow>* rows;
    std::vector<RowResult> results;
    LiveView view;
    std::vector<std::string> noted;
};

void Update(WorkerPool& pool, RowResult& result, const char* stage)
{
    EnterLock(pool.lock);
    result.stage = stage;
    LeaveLock(pool.lock);
    PoolChanged(pool);
}

// Sets up one device: the network, then the password if the row asks.
void Provision(WorkerPool& pool, RowResult& result, const ProvisionRow& row, const CliOptions& o, Outcome& out)
{
    Update(pool, result, "opening");
    WithDevice(o, out, [&](DeviceLink& link) {
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
    Provision(pool, result, row, o, out);
    EnterLock(pool.lock);
    result.doc = out.doc;
    result.seconds = static_cast<double>(MonotonicMicroseconds() - started) / 1e6;
    SettleRow(result, out.code, out.message);
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
void ResolveRows(std::vector<ProvisionRow>& rows)
{
    const bool any = std::any_of(rows.begin(), rows.end(), [](const ProvisionRow& r) { return IsAdapterSelector(r.port); });
    const std::vector<PortEntry> present = any ? ListPorts() : std::vector<PortEntry>();
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

// Rows refused before anything is sent are done at once.
void SettleBadRows(Run& run)
{
    for (size_t i = 0; i < run.rows->size(); ++i) {
        run.results[i].row = &(*run.rows)[i];
        if (!(*run.rows)[i].error.empty()) {
            SettleRow(run.results[i], (*run.rows)[i].errorCode, (*run.rows)[i].error);
            Note(run.view, ProgressLine(run.results[i]));
        }
    }
}

// The worst row's code; rows Ctrl+C left unstarted are interrupted.
int Conclude(Run& run)
{
    int worst = ExitDone;
    for (RowResult& r : run.results) {
        if (!r.finished)
            SettleRow(r, ExitInterrupted, "not started: interrupted");
        worst = std::max(worst, r.code);
    }
    Redraw(run.view, Lines(run.results));
    return Interrupted() ? static_cast<int>(ExitInterrupted) : worst;
}

}  // namespace

Outcome RunProvision(const CliOptions& o, const std::string& csvPath, int jobs, const std::string& reportPath,
                     TextEncoding encoding)
{
    Outcome out;
    out.doc["command"] = "provision";
    out.doc["file"] = csvPath;
    std::vector<ProvisionRow> rows;
    std::string error;
    if (!ReadProvisionFile(csvPath, encoding, rows, error))
        return SetFailure(out, ExitUsage, error);
    ResolveRows(rows);
    const size_t rowJobs = std::max<size_t>(rows.size(), 1);
    jobs = static_cast<int>(std::min<size_t>(jobs > 0 ? static_cast<size_t>(jobs) : DefaultJobs, rowJobs));
    out.doc["jobs"] = jobs;

    Run run{&o, &rows, std::vector<RowResult>(rows.size()), MakeLiveView(o.json), std::vector<std::string>(rows.size())};
    SettleBadRows(run);
    WorkerPool pool;
    const Result ran = RunPool(pool, PoolJob{&run, rows.size(), WorkRow, ShowRows}, static_cast<size_t>(jobs));
    const int worst = Succeeded(ran) ? Conclude(run) : std::max(Conclude(run), static_cast<int>(ExitInternal));
    out.code = worst;
    out.doc["result"] = ResultWord(worst);
    out.doc["exit_code"] = worst;
    out.doc["rows"] = RowsJson(run.results);
    if (!o.json)
        out.text = TableLines(run.results);
    if (!Succeeded(ran))
        return SetFailure(out, worst, "cannot work the rows: " + ResultText(ran));
    if (!reportPath.empty()) {
        const Result written = WriteReport(reportPath, out.doc, run.results);
        if (!Succeeded(written))
            return SetFailure(out, std::max(worst, static_cast<int>(ExitUsage)),
                              "cannot write the report " + reportPath + ": " + ResultText(written));
    }
    if (worst != ExitDone)
        out.message = Interrupted() ? "interrupted: the report has the rows that finished" : "some rows failed";
    return out;
}
