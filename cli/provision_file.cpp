#include "cli/provision_file.h"

#include <algorithm>
#include <cctype>
#include <fstream>

#include "cli/input_checks.h"
#include "wire/frame_text.h"

namespace {

const std::vector<std::string> Header{"port", "mode", "ip", "mask", "gateway", "password"};

std::string Trim(const std::string& s)
{
    const size_t a = s.find_first_not_of(" \t\r");
    const size_t b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// Fields separated by `separator`; a field in double quotes may hold it, and
// "" inside it stands for one quote.
std::vector<std::string> SplitFields(const std::string& line, char separator)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == separator && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    for (std::string& f : fields)
        f = Trim(f);
    return fields;
}

std::string CheckRow(const std::vector<std::string>& f, ProvisionRow& row)
{
    if (f.size() != Header.size())
        return "expected 6 fields, found " + std::to_string(f.size());
    row.port = f[0];
    if (row.port.empty())
        return "field port: empty";
    if (f[1] != "dhcp" && f[1] != "static")
        return "field mode: \"" + f[1] + "\" is neither dhcp nor static";
    row.network.dhcp = f[1] == "dhcp";
    uint32_t* targets[3] = {&row.network.ipAddress, &row.network.subnetMask, &row.network.gateway};
    for (int i = 0; i < 3; ++i) {
        const std::string& value = f[2 + i];
        if (row.network.dhcp) {
            if (!value.empty())
                return "field " + Header[2 + i] + ": must be empty with mode dhcp";
        } else if (!ParseDotted(value.c_str(), targets[i])) {
            return "field " + Header[2 + i] + ": \"" + value + "\" is not an address A.B.C.D (0-255)";
        }
    }
    row.changePassword = !f[5].empty();
    if (row.changePassword) {
        const std::string problem = CheckPasswordText(f[5], row.gbkPassword);
        if (!problem.empty())
            return "field password: " + problem;
    }
    return "";
}

}  // namespace

bool ReadProvisionFile(const std::string& path, TextEncoding encoding, std::vector<ProvisionRow>& rows,
                       std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    if (!lines.empty() && lines[0].rfind("\xEF\xBB\xBF", 0) == 0 && encoding != TextEncoding::Gbk)
        lines[0].erase(0, 3);   // the mark a spreadsheet puts before UTF-8
    if (!DecodeLines(lines, encoding, error)) {
        error = path + ": " + error;
        return false;
    }
    int number = 0;
    bool headerSeen = false;
    char separator = ',';
    for (const std::string& line : lines) {
        ++number;
        if (Trim(line).empty())
            continue;
        if (!headerSeen) {
            std::vector<std::string> fields = SplitFields(line, ',');
            if (fields.size() == 1 && line.find(';') != std::string::npos) {
                separator = ';';
                fields = SplitFields(line, separator);
            }
            for (std::string& f : fields)
                std::transform(f.begin(), f.end(), f.begin(), [](unsigned char c) { return std::tolower(c); });
            if (fields != Header) {
                error = path + ": line " + std::to_string(number) +
                        ": the header must be port,mode,ip,mask,gateway,password";
                return false;
            }
            headerSeen = true;
            continue;
        }
        const std::vector<std::string> fields = SplitFields(line, separator);
        if (std::all_of(fields.begin(), fields.end(), [](const std::string& f) { return f.empty(); }))
            continue;
        ProvisionRow row;
        row.line = number;
        row.error = CheckRow(fields, row);
        for (const ProvisionRow& earlier : rows)
            if (row.error.empty() && earlier.port == row.port)
                row.error = "field port: " + row.port + " already on line " + std::to_string(earlier.line);
        rows.push_back(row);
    }
    if (!headerSeen) {
        error = path + ": empty file";
        return false;
    }
    return true;
}
