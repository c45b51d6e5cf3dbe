#include "cli/mac_address.h"

#include <algorithm>
#include <cctype>

namespace {

// Six pairs of hex digits, either case, joined by colons; as upper case, or
// empty when `word` is not one.
std::string NormalMac(const std::string& word)
{
    if (word.size() != 17)
        return "";
    std::string mac(word);
    for (size_t i = 0; i < word.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(word[i]);
        if (i % 3 == 2 ? c != ':' : !std::isxdigit(c))
            return "";
        mac[i] = static_cast<char>(std::toupper(c));
    }
    return mac;
}

void TakeLine(MacReader& r, const std::string& line)
{
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || first == 0) {   // an empty line, or the next interface's
        if (r.inFirst) {
            r.state = MacSearch::Absent;
            return;
        }
        r.inFirst = first == 0;
    }
    if (!r.inFirst)
        return;   // before the first interface
    // The word after HWaddr or ether, words being split at spaces and tabs.
    bool keyword = false;
    for (size_t at = first; at < line.size();) {
        const size_t end = std::min(line.find_first_of(" \t\r", at), line.size());
        const std::string word = line.substr(at, end - at);
        if (keyword) {
            r.mac = NormalMac(word);
            r.state = r.mac.empty() ? MacSearch::Malformed : MacSearch::Found;
            return;
        }
        keyword = word == "HWaddr" || word == "ether";
        at = line.find_first_not_of(" \t\r", end);
    }
    if (keyword)
        r.state = MacSearch::Malformed;   // the line ends at the keyword
}

}  // namespace

bool FeedIfconfigReply(MacReader& reader, const std::string& text)
{
    // A closing "\n" ends the reply's last line; it does not start another.
    const size_t size = !text.empty() && text.back() == '\n' ? text.size() - 1 : text.size();
    for (size_t at = 0; at <= size && reader.state == MacSearch::Reading;) {
        const size_t end = std::min(text.find('\n', at), size);
        TakeLine(reader, text.substr(at, end - at));
        at = end + 1;
    }
    return reader.state != MacSearch::Reading;
}
