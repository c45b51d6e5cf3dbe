// What provision knows of each row, and how it is shown: the progress line,
// the final table, the JSON rows and the report file (CSV, or JSON when the
// name ends in .json).
#pragma once

#include <string>
#include <vector>

#include "cli/provision_file.h"
#include "link/port_identity.h"
#include "wire/result.h"

struct RowResult {
    const ProvisionRow* row = nullptr;
    std::string stage = "waiting";
    bool finished = false;
    int code = ExitDone;
    std::string error;
    nlohmann::json doc = nlohmann::json::object();   // the row's own result: read_back, password_verified
    double seconds = 0;
};

// The row is done with `code`: its stage becomes the result word.
void SettleRow(RowResult& r, int code, const std::string& error);

std::string ProgressLine(const RowResult& r);
std::vector<std::string> TableLines(const std::vector<RowResult>& rows);
nlohmann::json RowJson(const RowResult& row);

// Where, by whom and with what a run works: what every line of the audit
// log carries besides its row.
struct RunStamp {
    std::string station, operatorName, version, sheet;
};
// One line of the audit log: the row as the report has it, when it ended,
// the run's stamp and the adapter the device was on (never a password).
nlohmann::json AuditRecord(const RowResult& row, const PortIdentity& adapter, const RunStamp& stamp);
nlohmann::json RowsJson(const std::vector<RowResult>& rows);
Result WriteReport(const std::string& path, const nlohmann::json& doc, const std::vector<RowResult>& rows);
