#include "cli/provision_report.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "cli/audit_log.h"
#include "cli/device_steps.h"
#include "cli/port_selector.h"
#include "cli/ports.h"

namespace {

std::string SetText(const ProvisionRow& row)
{
    return SettingsSummary(row.network) + (row.changePassword ? " + password" : "");
}

std::string ReadBackText(const RowOutcome& r)
{
    const bool password = r.device.password != DeviceFacts::Password::NotRead;
    if (!r.device.readBackTaken)
        return password ? "password verified" : "-";
    return SettingsSummary(r.device.readBack) +
           (r.device.password == DeviceFacts::Password::Verified ? " + password verified" : "");
}

// The row's port, with the adapter selector it was named by.
std::string RowPortText(const ProvisionRow& row) { return PortAndSelector(row.port, row.selector); }

// "  MAC 00:1C:27:5A:01:0A", or the note of a device that shows none.
std::string MacText(const RowOutcome& r)
{
    if (!r.device.mac.empty())
        return "  MAC " + r.device.mac;
    return r.device.macNote.empty() ? "" : "  (" + r.device.macNote + ")";
}

nlohmann::json TextOrNull(const std::string& text) { return text.empty() ? nlohmann::json() : nlohmann::json(text); }

// What the report's row and the log's line share: all but the reason, which
// the report calls "error" and the log "reason".
nlohmann::json RowFields(const RowOutcome& r)
{
    nlohmann::json j;
    j["line"] = r.row->line;
    j["port"] = r.row->port;
    j["selector"] = TextOrNull(r.row->selector);
    j["result"] = r.stage;
    j["exit_code"] = r.code;
    if (r.row->error.empty()) {
        j["set"] = SettingsJson(r.row->network);
        j["set"]["password"] = r.row->changePassword ? "changed" : "unchanged";
    } else {
        j["set"] = nullptr;
    }
    j["read_back"] = r.device.readBackTaken ? SettingsJson(r.device.readBack) : nlohmann::json();
    if (r.device.password != DeviceFacts::Password::NotRead) {
        if (!j["read_back"].is_object())
            j["read_back"] = nlohmann::json::object();
        j["read_back"]["password_verified"] = r.device.password == DeviceFacts::Password::Verified;
    }
    j["mac"] = TextOrNull(r.device.mac);
    if (!r.device.macNote.empty())
        j["mac_note"] = r.device.macNote;
    j["seconds"] = std::round(r.seconds * 1000) / 1000;
    return j;
}

std::string Seconds(double s)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", s);
    return text;
}

std::string Pad(const std::string& s, size_t width)
{
    return s.size() >= width ? s + " " : s + std::string(width - s.size(), ' ');
}

std::string CsvField(const std::string& s)
{
    if (s.find_first_of(",\"\n") == std::string::npos)
        return s;
    std::string out = "\"";
    for (char c : s)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

}  // namespace

void SettleRow(RowOutcome& r, int code, const std::string& reason, const char* word)
{
    r.finished = true;
    r.code = code;
    r.reason = reason;
    r.stage = word != nullptr ? word : ResultWord(code);
}

bool ChangedButNotRecorded(const RowOutcome& r) { return r.code == ExitNotRecorded; }

std::string ProgressLine(const RowOutcome& r)
{
    std::string line = Pad("line " + std::to_string(r.row->line), 9) + Pad(RowPortText(*r.row), 14) + r.stage;
    if (r.finished && r.code == ExitDone)
        line += "  " + Seconds(r.seconds) + MacText(r);
    if (!r.reason.empty())
        line += "  " + r.reason;
    return line;
}

// The table's row: what was asked, what came back, the unit and the time.
std::vector<std::string> TableCells(const RowOutcome& r)
{
    return {std::to_string(r.row->line), RowPortText(*r.row), r.stage,
            r.row->error.empty() ? SetText(*r.row) : "(nothing sent)", ReadBackText(r),
            r.device.mac.empty() ? "-" : r.device.mac, r.row->error.empty() ? Seconds(r.seconds) : "-"};
}

std::vector<std::string> TableLines(const std::vector<RowOutcome>& rows)
{
    std::vector<std::vector<std::string>> cells{{"line", "port", "result", "set", "read back", "mac", "time"}};
    for (const RowOutcome& r : rows)
        cells.push_back(TableCells(r));
    std::vector<size_t> widths(cells[0].size(), 0);
    for (const auto& line : cells)
        for (size_t c = 0; c < line.size(); ++c)
            widths[c] = std::max(widths[c], line[c].size() + 2);
    std::vector<std::string> lines{""};
    for (const auto& line : cells) {
        std::string text;
        for (size_t c = 0; c < line.size(); ++c)
            text += c + 1 < line.size() ? Pad(line[c], widths[c]) : line[c];
        lines.push_back(text);
    }
    for (const RowOutcome& r : rows)
        if (!r.reason.empty())
            lines.push_back("line " + std::to_string(r.row->line) + " " + RowPortText(*r.row) + ": " + r.reason);
    return lines;
}

nlohmann::json RowJson(const RowOutcome& r)
{
    nlohmann::json j = RowFields(r);
    j["error"] = TextOrNull(r.reason);
    return j;
}

nlohmann::json AuditRecord(const RowOutcome& r, const RunStamp& stamp)
{
    nlohmann::json j = RowFields(r);
    j["reason"] = TextOrNull(r.reason);
    j["time"] = UtcTimestamp();
    j["station"] = stamp.station;
    j["operator"] = stamp.operatorName;
    j["version"] = stamp.version;
    j["sheet"] = stamp.sheet;
    j["adapter"] = IdentityJson(r.adapter);
    // The device took the new password when it was read back, matching or not.
    j["password_changed"] = r.row->changePassword && r.device.password != DeviceFacts::Password::NotRead;
    if (!r.history.previousIp.empty())
        j["previous_ip"] = r.history.previousIp;
    if (!r.history.formerTime.empty())
        j["reassigned_from"] = {{"mac", TextOrNull(r.history.formerOwner)}, {"time", r.history.formerTime}};
    return j;
}

nlohmann::json RowsJson(const std::vector<RowOutcome>& rows)
{
    nlohmann::json list = nlohmann::json::array();
    for (const RowOutcome& r : rows)
        list.push_back(RowJson(r));
    return list;
}

Result WriteReport(const std::string& path, const nlohmann::json& doc, const std::vector<RowOutcome>& rows)
{
    errno = 0;
    std::ofstream out(path, std::ios::binary);
    if (!out)
        return Failure(Status::Failed, "creating the file", errno);
    if (path.size() >= 5 && path.compare(path.size() - 5, 5, ".json") == 0) {
        out << doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    } else {
        out << "line,port,selector,result,exit_code,set,read_back,mac,seconds,error\n";
        for (const RowOutcome& r : rows) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%.2f", r.seconds);
            out << r.row->line << ',' << CsvField(r.row->port) << ',' << CsvField(r.row->selector) << ','
                << r.stage << ',' << r.code << ',' << CsvField(r.row->error.empty() ? SetText(*r.row) : "") << ','
                << CsvField(ReadBackText(r)) << ',' << r.device.mac << ',' << seconds << ','
                << CsvField(r.reason) << "\n";
        }
    }
    out.flush();
    return out ? Success : Failure(Status::Failed, "writing the file", errno);
}
