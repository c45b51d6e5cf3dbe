// What provision knows of each row, and how it is shown: the progress line,
// the final table, the JSON rows and the report file (CSV, or JSON when the
// name ends in .json).
#pragma once

#include <string>
#include <vector>

#include "cli/provision_file.h"

struct RowResult {
    const ProvisionRow* row = nullptr;
    std::string stage = "waiting";
    bool finished = false;
    int code = ExitDone;
    std::string error;
    nlohmann::json worker = nlohmann::json::object();   // the worker's result document
    double seconds = 0;
};

void Finish(RowResult& r, int code, const std::string& error);
// A line of the worker's output: a progress stage or its result document.
void TakeWorkerLine(RowResult& r, const std::string& line);
// The worker ended with `code`.
void EndFromWorker(RowResult& r, int code);

std::string ProgressLine(const RowResult& r);
std::vector<std::string> TableLines(const std::vector<RowResult>& rows);
nlohmann::json RowsJson(const std::vector<RowResult>& rows);
bool WriteReport(const std::string& path, const nlohmann::json& doc, const std::vector<RowResult>& rows);
