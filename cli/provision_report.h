// What provision knows of each row, and how it is shown: the progress line,
// the final table, the JSON rows and the report file (CSV, or JSON when the
// name ends in .json).
#pragma once

#include <string>
#include <vector>

#include "cli/provision_file.h"
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
nlohmann::json RowsJson(const std::vector<RowResult>& rows);
Result WriteReport(const std::string& path, const nlohmann::json& doc, const std::vector<RowResult>& rows);
