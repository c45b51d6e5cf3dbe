#include "cli/provision_file.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>

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

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The fields of a line, separated by `separator` and trimmed of blanks.
// A field that begins with a double quote runs to the closing one and may
// hold the separator; "" inside it stands for one quote. Anywhere else a
// quote is text. `quoteProblem` tells what is wrong with the quotes of field
// `badQuote` (npos when nothing is).
struct Fields {
    std::vector<std::string> text;
    size_t badQuote = std::string::npos;
    const char* quoteProblem = "";
};

Fields SplitFields(const std::string& line, char separator)
{
    Fields f;
    size_t i = 0;
    for (;;) {
        std::string field;
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        if (i < line.size() && line[i] == '"') {
            bool closed = false;
            for (++i; i < line.size() && !closed; ++i) {
                if (line[i] != '"')
                    field += line[i];
                else if (i + 1 < line.size() && line[i + 1] == '"')
                    field += line[++i];
                else
                    closed = true;
            }
            while (i < line.size() && IsBlank(line[i]))
                ++i;
            if (f.badQuote == std::string::npos && (!closed || (i < line.size() && line[i] != separator))) {
                f.badQuote = f.text.size();
                f.quoteProblem = closed ? "text after its closing quote" : "no closing quote";
            }
        }
        for (; i < line.size() && line[i] != separator; ++i)
            field += line[i];
        f.text.push_back(Trim(field));
        if (i++ >= line.size())
            return f;
    }
}

std::string CheckRow(const Fields& fields, ProvisionRow& row)
{
    const std::vector<std::string>& f = fields.text;
    if (fields.badQuote < Header.size())   // before the count: a quote left open takes in the fields behind it
        return "field " + Header[fields.badQuote] + ": " + fields.quoteProblem;
    if (f.size() != Header.size())
        return "expected 6 fields, found " + std::to_string(f.size());
    for (size_t i = 0; i < f.size(); ++i)   // a port, a password: the text up to a NUL is what would be used
        if (f[i].find('\0') != std::string::npos)
            return "field " + Header[i] + ": holds a NUL byte";
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

bool ParseProvisionSheet(const std::string& bytes, TextEncoding encoding, std::vector<ProvisionRow>& rows,
                         std::string& error)
{
    rows.clear();
    std::vector<std::string> lines;
    for (size_t at = 0; at < bytes.size();) {   // as getline: a last '\n' ends a line, not starts one
        const size_t end = std::min(bytes.find('\n', at), bytes.size());
        lines.push_back(bytes.substr(at, end - at));
        at = end + 1;
    }
    if (!lines.empty() && lines[0].rfind("\xEF\xBB\xBF", 0) == 0 && encoding != TextEncoding::Gbk)
        lines[0].erase(0, 3);   // the mark a spreadsheet puts before UTF-8
    if (!DecodeLines(lines, encoding, error))
        return false;
    int number = 0;
    bool headerSeen = false;
    char separator = ',';
    for (const std::string& line : lines) {
        ++number;
        if (Trim(line).empty())
            continue;
        if (!headerSeen) {
            std::vector<std::string> fields = SplitFields(line, ',').text;
            if (fields.size() == 1 && line.find(';') != std::string::npos) {
                separator = ';';
                fields = SplitFields(line, separator).text;
            }
            for (std::string& f : fields)
                std::transform(f.begin(), f.end(), f.begin(), [](unsigned char c) { return std::tolower(c); });
            if (fields != Header) {
                error = "line " + std::to_string(number) + ": the header must be port,mode,ip,mask,gateway,password";
                return false;
            }
            headerSeen = true;
            continue;
        }
        const Fields fields = SplitFields(line, separator);
        if (std::all_of(fields.text.begin(), fields.text.end(), [](const std::string& f) { return f.empty(); }))
            continue;
        ProvisionRow row;
        row.line = number;
        row.error = CheckRow(fields, row);
        rows.push_back(row);
    }
    if (!headerSeen) {
        error = "line " + std::to_string(std::max(number, 1)) + ": the file ends without a header row";
        return false;
    }
    return true;
}

bool ReadProvisionFile(const std::string& path, TextEncoding encoding, std::vector<ProvisionRow>& rows,
                       std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!ParseProvisionSheet(bytes, encoding, rows, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}
