// The provision CSV: a header row "port,mode,ip,mask,gateway,password", then
// one device per row. Every row is checked before anything is sent. Read as
// spreadsheets save it: UTF-8 with or without a byte-order mark, or GBK; the
// fields separated by commas, or by semicolons where the header uses them
// (Excel in many European locales); rows whose fields are all empty (left
// behind by deleted rows) are skipped.
#pragma once

#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/text.h"

struct ProvisionRow {
    int line = 0;               // in the file, the header being line 1
    std::string port;           // the port; a selector (serial=..., location=...) until resolved
    std::string selector;       // the adapter selector the row named, once resolved; else empty
    NetConfig network{};
    bool changePassword = false;
    std::string gbkPassword;
    std::string error;          // "field ip: ..." when the row is refused
    int errorCode = ExitUsage;  // the refusal's exit code: a selector matching no port is ExitPort
};

// The sheet's bytes: false with `error` ("line N ...") when they are not
// text in one encoding or the header is wrong; otherwise every data row,
// refused ones with their reason. Reads nothing but `bytes`.
bool ParseProvisionSheet(const std::string& bytes, TextEncoding encoding, std::vector<ProvisionRow>& rows,
                         std::string& error);

// The file read and parsed; `error` starts with the file's name.
bool ReadProvisionFile(const std::string& path, TextEncoding encoding, std::vector<ProvisionRow>& rows,
                       std::string& error);
