// provision: every row checked first, then up to --jobs rows at once, each a
// session of its own on a thread of this process, a live line per device,
// and at the end a table and, if asked, a report file. Ctrl+C ends every
// session (so every port is closed) and reports the rows that finished; the
// others are marked as interrupted.
#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "cli/cli.h"
#include "cli/device_steps.h"
#include "cli/interrupt.h"
#include "cli/live_view.h"
#include "cli/provision_file.h"
#include "cli/provision_report.h"

namespace {

// Shared by the row threads and the main thread: the results under `lock`,
// each row's only by its own thread; `progress` wakes the main thread.
struct Run {
    const CliOptions* options;
    std::vector<ProvisionRow>* rows;
    std::vector<RowResult>* results;
    std::atomic<size_t> next{0};
    std::mutex lock;
    Wakeup progress;
    size_t finished = 0;
};

void Update(Run& run, size_t i, const char* stage)
{
    {
        std::lock_guard<std::mutex> hold(run.lock);
        (*run.results)[i].stage = stage;
    }
    SignalWakeup(run.progress);
}

void WorkRow(Run& run, size_t i)
{
    const ProvisionRow& row = (*run.rows)[i];
    CliOptions o = *run.options;
    o.port = row.port;
    if (!o.traceFile.empty())
        o.traceFile += ".line" + std::to_string(row.line);
    Outcome out;
    const int64_t started = MonotonicMicroseconds();
    Update(run, i, "opening");
    WithDevice(o, out, [&](DeviceLink& link) {
        Update(run, i, "network");
        if (!ApplyNetwork(link, o, row.network, out))
            return;
        if (row.changePassword) {
            Update(run, i, "password");
            ApplyPassword(link, o, row.gbkPassword, out);
        }
    });
    {
        std::lock_guard<std::mutex> hold(run.lock);
        RowResult& r = (*run.results)[i];
        r.doc = out.doc;
        r.seconds = static_cast<double>(MonotonicMicroseconds() - started) / 1e6;
        Finish(r, out.code, out.message);
        ++run.finished;
    }
    SignalWakeup(run.progress);
}

void WorkRows(Run& run)
{
    for (size_t i; (i = run.next.fetch_add(1)) < run.rows->size();) {
        if ((*run.results)[i].finished)
            continue;   // a bad row: nothing is sent
        if (Interrupted())
            break;
        WorkRow(run, i);
    }
}

std::vector<std::string> Lines(const std::vector<RowResult>& results)
{
    std::vector<std::string> lines;
    for (const RowResult& r : results)
        lines.push_back(ProgressLine(r));
    return lines;
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
        return Fail(out, ExitUsage, error);
    if (jobs <= 0)
        jobs = static_cast<int>(std::min<size_t>(std::max<size_t>(rows.size(), 1), DefaultJobs));
    jobs = std::min(jobs, static_cast<int>(std::max<size_t>(rows.size(), 1)));
    out.doc["jobs"] = jobs;

    std::vector<RowResult> results(rows.size());
    Run run;
    run.options = &o;
    run.rows = &rows;
    run.results = &results;
    LiveView view = MakeLiveView(o.json);
    for (size_t i = 0; i < rows.size(); ++i) {
        results[i].row = &rows[i];
        if (!rows[i].error.empty()) {
            Finish(results[i], ExitUsage, rows[i].error);
            ++run.finished;
            Note(view, ProgressLine(results[i]));
        }
    }
    if (!StartInterruptWatch(run.progress))
        return Fail(out, ExitPort, "cannot start the progress and Ctrl+C wake-ups");

    std::vector<std::thread> threads;
    for (int t = 0; t < jobs; ++t)
        threads.emplace_back([&run] { WorkRows(run); });
    std::vector<std::string> noted(rows.size());
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(run.lock);
            Redraw(view, Lines(results));
            for (size_t i = 0; i < results.size(); ++i) {
                const std::string line = ProgressLine(results[i]);
                if (results[i].stage != "waiting" && line != noted[i] && (results[i].finished || noted[i].empty()))
                    Note(view, noted[i] = line);
            }
            if (run.finished == rows.size())
                break;
        }
        // Ctrl+C: the rows at work end on their own, each once its session
        // has closed its port; the join below waits for them.
        if (Interrupted())
            break;
        WaitWakeup(run.progress, WaitForever);
    }
    for (std::thread& t : threads)
        t.join();
    EndInterruptWatch(run.progress);

    const bool interrupted = Interrupted();
    int worst = ExitDone;
    for (RowResult& r : results) {
        if (!r.finished)
            Finish(r, ExitInterrupted, "not started: interrupted");
        worst = std::max(worst, r.code);
    }
    Redraw(view, Lines(results));
    if (interrupted)
        worst = ExitInterrupted;
    out.code = worst;
    out.doc["result"] = ResultWord(worst);
    out.doc["exit_code"] = worst;
    out.doc["rows"] = RowsJson(results);
    if (!o.json)
        out.text = TableLines(results);
    if (!reportPath.empty() && !WriteReport(reportPath, out.doc, results))
        return Fail(out, std::max(worst, static_cast<int>(ExitUsage)), "cannot write the report " + reportPath);
    if (worst != ExitDone)
        out.message = interrupted ? "interrupted: the report has the rows that finished" : "some rows failed";
    return out;
}
