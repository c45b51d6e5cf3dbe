// What provision knows of each row, and how it is shown: the progress line,
// the final table, the JSON rows, the audit log's line and the report file
// (CSV, or JSON when the name ends in .json). A row's outcome is typed; it
// becomes text or JSON here only.
#pragma once

#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/provision_file.h"
#include "link/port_identity.h"
#include "wire/result.h"

// What the log said of the row's unit and address before it was changed.
struct RowHistory {
    std::string previousIp;    // the unit's address in its latest record, when another
    std::string formerOwner;   // --reassign: the MAC the log gave the IP to, and
    std::string formerTime;    // the time of that record
};

struct RowOutcome {
    const ProvisionRow* row = nullptr;   // its line, port and the settings and password it asks
    std::string stage = "waiting";       // what the row does now; once finished, its result word
    bool finished = false;
    int code = ExitDone;
    std::string reason;                  // a sentence for the technician; empty when done
    DeviceFacts device;                  // read back, password, MAC, whether anything was written
    PortIdentity adapter{};              // what the system says of the row's port
    RowHistory history;
    double seconds = 0;
};

// The row is done with `code`; its result word is `word`, or the code's.
void SettleRow(RowOutcome& r, int code, const std::string& reason, const char* word = nullptr);

// Whether the row changed its unit but the log has no line of it.
bool ChangedButNotRecorded(const RowOutcome& r);

std::string ProgressLine(const RowOutcome& r);
std::vector<std::string> TableLines(const std::vector<RowOutcome>& rows);
nlohmann::json RowJson(const RowOutcome& row);
nlohmann::json RowsJson(const std::vector<RowOutcome>& rows);

// Where, by whom and with what a run works: what every line of the audit
// log carries besides its row.
struct RunStamp {
    std::string station, operatorName, version, sheet;
};
// One line of the audit log: the row as the report has it, when it ended,
// the run's stamp and the adapter the device was on (never a password).
nlohmann::json AuditRecord(const RowOutcome& row, const RunStamp& stamp);
Result WriteReport(const std::string& path, const nlohmann::json& doc, const std::vector<RowOutcome>& rows);
