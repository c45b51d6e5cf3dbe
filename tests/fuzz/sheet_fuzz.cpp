// Arbitrary bytes through the provision sheet's parser. The first byte picks
// the encoding (--encoding guess, utf8, gbk); the rest is the file. Beyond
// the sanitizers' findings, what it hands back must hold together: a refusal
// names a line of the file, every row is a later line than the last, a row is
// either refused naming its field or complete and sendable, texts are UTF-8
// (they go into JSON), and the same bytes give the same result.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "cli/provision_file.h"
#include "session/input_rules.h"
#include "tests/fuzz/fuzz_check.h"
#include "wire/frame_text.h"

namespace {

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

bool NamesField(const std::string& error)
{
    for (const char* name : {"port", "mode", "ip", "mask", "gateway", "password"})
        if (StartsWith(error, std::string("field ") + name + ": "))
            return true;
    return StartsWith(error, "expected 6 fields, found ");
}

// Line `number` (1-based) holds `address` written out: digits and dots are
// the same bytes in UTF-8 and GBK, and neither encoding uses them inside a
// character, so the raw line shows them as the parser saw them.
bool LineShows(const std::string& bytes, int number, uint32_t address)
{
    size_t at = 0;
    for (int n = 1; n < number; ++n)
        at = bytes.find('\n', at) + 1;
    const std::string line = bytes.substr(at, bytes.find('\n', at) - at);
    for (size_t i = 0, run; i < line.size(); i = run == std::string::npos ? line.size() : run + 1) {
        run = line.find_first_not_of("0123456789.", i);
        uint32_t value = 0;
        if (ParseDotted(line.substr(i, run - i).c_str(), &value) && value == address)
            return true;
    }
    return false;
}

bool Same(const ProvisionRow& a, const ProvisionRow& b)
{
    const auto key = [](const ProvisionRow& r) {
        return std::tie(r.line, r.port, r.network.dhcp, r.network.ipAddress, r.network.subnetMask, r.network.gateway,
                        r.changePassword, r.gbkPassword, r.error);
    };
    return key(a) == key(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const TextEncoding encoding = static_cast<TextEncoding>(data[0] % 3);
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const size_t lines = static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    std::vector<ProvisionRow> rows, again;
    std::string error, againError;
    const bool read = ParseProvisionSheet(bytes, encoding, rows, error);
    FUZZ_CHECK(read == ParseProvisionSheet(bytes, encoding, again, againError) && error == againError);
    FUZZ_CHECK(rows.size() == again.size() && std::equal(rows.begin(), rows.end(), again.begin(), Same));
    if (!read) {
        const size_t named = std::strtoul(error.c_str() + std::min<size_t>(5, error.size()), nullptr, 10);
        FUZZ_CHECK(rows.empty() && StartsWith(error, "line ") && named >= 1 && named <= lines && IsUtf8(error));
        return 0;
    }
    FUZZ_CHECK(error.empty());
    int last = 1;
    for (const ProvisionRow& r : rows) {
        FUZZ_CHECK(r.line > last && static_cast<size_t>(r.line) <= lines);
        last = r.line;
        FUZZ_CHECK(IsUtf8(r.port) && IsUtf8(r.error));
        if (!r.error.empty()) {
            FUZZ_CHECK(NamesField(r.error));
            continue;
        }
        FUZZ_CHECK(!r.port.empty() && r.port.find('\0') == std::string::npos);
        const NetConfig& n = r.network;
        if (n.dhcp)
            FUZZ_CHECK(n.ipAddress == 0 && n.subnetMask == 0 && n.gateway == 0);
        else
            FUZZ_CHECK(LineShows(bytes, r.line, n.ipAddress) && LineShows(bytes, r.line, n.subnetMask) &&
                       LineShows(bytes, r.line, n.gateway));
        if (r.changePassword)
            FUZZ_CHECK(r.gbkPassword.size() >= 1 && r.gbkPassword.size() <= MaxPasswordBytes &&
                       std::strlen(r.gbkPassword.c_str()) == r.gbkPassword.size());
        else
            FUZZ_CHECK(r.gbkPassword.empty());
    }
    return 0;
}
