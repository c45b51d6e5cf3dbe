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
    const NetworkRequest& n = row.network;
    return SettingsSummary(n.dhcp, n.ipAddress, n.subnetMask, n.gateway) +
           (row.changePassword ? " + password" : "");
}

std::string ReadBackText(const RowResult& r)
{
    if (!r.doc.contains("read_back"))
        return r.doc.contains("password_verified") ? "password verified" : "-";
    const nlohmann::json& b = r.doc["read_back"];
    std::string text = b.value("dhcp", false) ? "dhcp"
                                             : "static " + b.value("ip", "") + " " + b.value("mask", "") +
                                                   " " + b.value("gateway", "");
    if (r.doc.value("password_verified", false))
        text += " + password verified";
    return text;
}

// The row's port, with the adapter selector it was named by.
std::string Named(const ProvisionRow& row) { return PortAndSelector(row.port, row.selector); }

// The device's MAC; empty when it was not read or the device shows none.
std::string MacOf(const RowResult& r)
{
    const auto mac = r.doc.find("mac");
    return mac != r.doc.end() && mac->is_string() ? mac->get<std::string>() : "";
}

// "  MAC 00:1C:27:5A:01:0A", or the note of a device that shows none.
std::string MacText(const RowResult& r)
{
    if (!MacOf(r).empty())
        return "  MAC " + MacOf(r);
    return r.doc.contains("mac_note") ? "  (" + r.doc["mac_note"].get<std::string>() + ")" : "";
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

void SettleRow(RowResult& r, int code, const std::string& error)
{
    r.finished = true;
    r.code = code;
    r.error = error;
    r.stage = r.doc.value("result", ResultWord(code));
}

std::string ProgressLine(const RowResult& r)
{
    std::string line = Pad("line " + std::to_string(r.row->line), 9) + Pad(Named(*r.row), 14) + r.stage;
    if (r.finished && r.code == ExitDone)
        line += "  " + Seconds(r.seconds) + MacText(r);
    if (!r.error.empty())
        line += "  " + r.error;
    return line;
}

std::vector<std::string> TableLines(const std::vector<RowResult>& rows)
{
    std::vector<std::vector<std::string>> cells{{"line", "port", "result", "set", "read back", "mac", "time"}};
    for (const RowResult& r : rows)
        cells.push_back({std::to_string(r.row->line), Named(*r.row), r.stage,
                         r.row->error.empty() ? SetText(*r.row) : "(nothing sent)", ReadBackText(r),
                         MacOf(r).empty() ? "-" : MacOf(r),
                         r.row->error.empty() ? Seconds(r.seconds) : "-"});
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
    for (const RowResult& r : rows)
        if (!r.error.empty())
            lines.push_back("line " + std::to_string(r.row->line) + " " + Named(*r.row) + ": " + r.error);
    return lines;
}

nlohmann::json RowJson(const RowResult& r)
{
    nlohmann::json j;
    j["line"] = r.row->line;
    j["port"] = r.row->port;
    j["selector"] = r.row->selector.empty() ? nlohmann::json() : nlohmann::json(r.row->selector);
    j["result"] = r.stage;
    j["exit_code"] = r.code;
    j["error"] = r.error.empty() ? nlohmann::json() : nlohmann::json(r.error);
    if (r.row->error.empty()) {
        j["set"] = RequestJson(r.row->network);
        j["set"]["password"] = r.row->changePassword ? "changed" : "unchanged";
    } else {
        j["set"] = nullptr;
    }
    j["read_back"] = r.doc.value("read_back", nlohmann::json());
    if (r.doc.contains("password_verified")) {
        if (!j["read_back"].is_object())
            j["read_back"] = nlohmann::json::object();
        j["read_back"]["password_verified"] = r.doc["password_verified"];
    }
    j["mac"] = r.doc.value("mac", nlohmann::json());
    if (r.doc.contains("mac_note"))
        j["mac_note"] = r.doc["mac_note"];
    j["seconds"] = std::round(r.seconds * 1000) / 1000;
    return j;
}

nlohmann::json AuditRecord(const RowResult& r, const PortIdentity& adapter, const RunStamp& stamp)
{
    nlohmann::json j = RowJson(r);
    j["time"] = UtcTimestamp();
    j["station"] = stamp.station;
    j["operator"] = stamp.operatorName;
    j["version"] = stamp.version;
    j["sheet"] = stamp.sheet;
    j["adapter"] = IdentityJson(adapter);
    // The device took the new password when it was read back, matching or not.
    j["password_changed"] = r.row->changePassword && r.doc.contains("password_verified");
    j["reason"] = j["error"];
    j.erase("error");
    return j;
}

nlohmann::json RowsJson(const std::vector<RowResult>& rows)
{
    nlohmann::json list = nlohmann::json::array();
    for (const RowResult& r : rows)
        list.push_back(RowJson(r));
    return list;
}

Result WriteReport(const std::string& path, const nlohmann::json& doc, const std::vector<RowResult>& rows)
{
    errno = 0;
    std::ofstream out(path, std::ios::binary);
    if (!out)
        return Failure(Status::Failed, "creating the file", errno);
    if (path.size() >= 5 && path.compare(path.size() - 5, 5, ".json") == 0) {
        out << doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    } else {
        out << "line,port,selector,result,exit_code,set,read_back,mac,seconds,error\n";
        for (const RowResult& r : rows) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%.2f", r.seconds);
            out << r.row->line << ',' << CsvField(r.row->port) << ',' << CsvField(r.row->selector) << ','
                << r.stage << ',' << r.code << ',' << CsvField(r.row->error.empty() ? SetText(*r.row) : "") << ','
                << CsvField(ReadBackText(r)) << ',' << MacOf(r) << ',' << seconds << ','
                << CsvField(r.error) << "\n";
        }
    }
    out.flush();
    return out ? Success : Failure(Status::Failed, "writing the file", errno);
}
