// provision: every row checked first, then up to --jobs worker processes at
// once (this program, `apply` for one port), a live line per device, and at
// the end a table and, if asked, a report file.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "cli/cli.h"
#include "cli/provision_file.h"
#include "cli/provision_report.h"
#include "cli/text.h"
#include "cli/worker_process.h"
#include "link/platform.h"

namespace {

struct Event {
    size_t row;
    bool ended;
    std::string line;
};

// Filled by the reader threads (one per running worker), emptied by the
// main thread.
std::mutex eventLock;
std::condition_variable eventArrived;
std::deque<Event> events;

void Post(Event e)
{
    std::lock_guard<std::mutex> hold(eventLock);
    events.push_back(std::move(e));
    eventArrived.notify_one();
}

void ReadWorker(size_t row, Worker* worker)
{
    std::string line;
    while (ReadWorkerLine(*worker, line))
        Post({row, false, line});
    Post({row, true, ""});
}

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::vector<std::string> WorkerArgs(const CliOptions& o, const ProvisionRow& row)
{
    std::vector<std::string> args{SelfPath(), "-p", row.port, "--json", "--timeout",
                                  std::to_string(o.timeoutMs)};
    if (!o.traceFile.empty())
        args.insert(args.end(), {"--trace", o.traceFile + ".line" + std::to_string(row.line)});
    args.push_back("apply");
    if (row.network.dhcp) {
        args.push_back("--dhcp");
    } else {
        char text[64];
        std::snprintf(text, sizeof text, "%u,%u,%u", row.network.ipAddress, row.network.subnetMask,
                      row.network.gateway);
        args.insert(args.end(), {"--static", text});
    }
    if (row.changePassword)
        args.insert(args.end(), {"--password-hex", Hex(row.gbkPassword)});
    return args;
}

// The live display: one line per row, redrawn in place on a terminal; plain
// lines as things happen otherwise.
struct Display {
    bool live;
    bool quiet;
    bool drawn = false;

    void Draw(const std::vector<RowResult>& rows)
    {
        if (quiet || !live)
            return;
        std::string text;
        if (drawn)
            text += "\033[" + std::to_string(rows.size()) + "A";
        for (const RowResult& r : rows)
            text += "\r\033[K" + ProgressLine(r) + "\n";
        drawn = true;
        PrintText(stdout, text);
        std::fflush(stdout);
    }
    void Note(const RowResult& r)
    {
        if (quiet || live)
            return;
        PrintText(stdout, ProgressLine(r) + "\n");
        std::fflush(stdout);
    }
};

}  // namespace

Outcome RunProvision(const CliOptions& o, const std::string& csvPath, int jobs,
                     const std::string& reportPath)
{
    Outcome out;
    out.doc["command"] = "provision";
    out.doc["file"] = csvPath;
    std::vector<ProvisionRow> rows;
    std::string error;
    if (!ReadProvisionFile(csvPath, rows, error))
        return Fail(out, ExitUsage, error);
    if (jobs <= 0)
        jobs = static_cast<int>(std::min<size_t>(std::max<size_t>(rows.size(), 1), MaxJobs));
    out.doc["jobs"] = jobs;

    std::vector<RowResult> results(rows.size());
    std::vector<Worker> workers(rows.size());
    std::vector<std::thread> readers(rows.size());
    std::vector<int64_t> started(rows.size());   // on the monotonic clock, in microseconds
    Display display{IsLiveTerminal(stdout), o.json};
    for (size_t i = 0; i < rows.size(); ++i) {
        results[i].row = &rows[i];
        if (!rows[i].error.empty())
            Finish(results[i], ExitUsage, rows[i].error);
    }
    display.Draw(results);
    for (const RowResult& r : results)
        if (r.finished)
            display.Note(r);

    size_t next = 0;
    int running = 0;
    for (;;) {
        while (running < jobs && next < rows.size()) {
            const size_t i = next++;
            if (results[i].finished)
                continue;
            started[i] = MonotonicMicroseconds();
            if (!StartWorker(WorkerArgs(o, rows[i]), workers[i])) {
                Finish(results[i], ExitRefused, "cannot start a worker process");
                display.Note(results[i]);
                continue;
            }
            results[i].stage = "starting";
            readers[i] = std::thread(ReadWorker, i, &workers[i]);
            ++running;
            display.Note(results[i]);
        }
        display.Draw(results);
        if (running == 0)
            break;
        Event e;
        {
            std::unique_lock<std::mutex> hold(eventLock);
            eventArrived.wait(hold, [] { return !events.empty(); });
            e = std::move(events.front());
            events.pop_front();
        }
        RowResult& r = results[e.row];
        if (!e.ended) {
            TakeWorkerLine(r, e.line);
            continue;
        }
        readers[e.row].join();
        const int code = FinishWorker(workers[e.row]);
        r.seconds = static_cast<double>(MonotonicMicroseconds() - started[e.row]) / 1e6;
        EndFromWorker(r, code);
        --running;
        display.Note(r);
    }

    int worst = ExitDone;
    for (const RowResult& r : results)
        worst = std::max(worst, r.code);
    out.code = worst;
    out.doc["result"] = ResultWord(worst);
    out.doc["exit_code"] = worst;
    out.doc["rows"] = RowsJson(results);
    if (!o.json)
        out.text = TableLines(results);
    if (!reportPath.empty() && !WriteReport(reportPath, out.doc, results))
        return Fail(out, std::max(worst, static_cast<int>(ExitUsage)), "cannot write the report " + reportPath);
    if (worst != ExitDone)
        out.message = "some rows failed";
    return out;
}
