#include "device/options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

bool ParseUnsigned(const char* text, uint64_t limit, uint64_t* out)
{
    if (text == nullptr || *text == '\0')
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text, &end, 0);
    if (errno != 0 || *end != '\0' || text[0] == '-' || v > limit)
        return false;
    *out = v;
    return true;
}

// --status CODE=N: CODE is a request code (0x07 or 7) or "all".
bool ParseStatus(const char* text, AnswerFaults& faults)
{
    const char* eq = std::strchr(text, '=');
    if (eq == nullptr)
        return false;
    char code[16];
    const size_t n = static_cast<size_t>(eq - text);
    if (n == 0 || n >= sizeof code)
        return false;
    std::memcpy(code, text, n);
    code[n] = '\0';
    uint64_t status = 0;
    if (!ParseUnsigned(eq + 1, 255, &status))
        return false;
    if (std::strcmp(code, "all") == 0) {
        faults.status.fill(static_cast<int16_t>(status));
        return true;
    }
    uint64_t c = 0;
    if (!ParseUnsigned(code, 255, &c))
        return false;
    faults.status[c] = static_cast<int16_t>(status);
    return true;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, DeviceOptions& o, char* error,
                  size_t capacity)
{
    o = DeviceOptions{};
    o.state = DefaultDeviceState();
    o.faults = NoAnswerFaults();
    o.hangupMs = -1;
    o.noiseEvery = 1;
    for (int i = 1; i < argc; ++i) {
        const char* name = argv[i];
        auto flag = [&](const char* f) { return std::strcmp(name, f) == 0; };
        if (flag("--silent")) { o.faults.silent = true; continue; }
        if (flag("--only-netconfig")) { o.faults.onlyNetConfig = true; continue; }
        if (flag("--ignore-changes")) { o.faults.ignoreChanges = true; continue; }
        if (flag("--noise")) { o.noise = true; continue; }
        if (flag("--fragment")) { o.fragment = true; continue; }
        if (flag("--quiet")) { o.quiet = true; continue; }
        if (flag("--help") || flag("-h")) { o.help = true; continue; }
        if (i + 1 >= argc) {
            std::snprintf(error, capacity, "%s: unknown option or missing value", name);
            return false;
        }
        const char* value = argv[++i];
        uint64_t n = 0;
        bool ok = true;
        if (flag("--port")) o.port = value;
        else if (flag("--link")) o.link = value;
        else if (flag("--frames-log")) o.framesLog = value;
        else if (flag("--dhcp")) {
            ok = std::strcmp(value, "on") == 0 || std::strcmp(value, "off") == 0;
            o.state.dhcp = std::strcmp(value, "on") == 0;
        } else if (flag("--ip")) ok = ParseDotted(value, &o.state.ipAddress);
        else if (flag("--mask")) ok = ParseDotted(value, &o.state.subnetMask);
        else if (flag("--gateway")) ok = ParseDotted(value, &o.state.gateway);
        else if (flag("--password")) ok = SetPassword(o.state, value);
        else if (flag("--heartbeat-stop-after")) {
            ok = ParseUnsigned(value, 86400, &n);
            o.faults.heartbeatStopMs = static_cast<int64_t>(n) * 1000;
        } else if (flag("--status")) ok = ParseStatus(value, o.faults);
        else if (flag("--delay")) {
            ok = ParseUnsigned(value, 60000, &n);
            o.delayMs = static_cast<uint32_t>(n);
        } else if (flag("--corrupt-every")) {
            ok = ParseUnsigned(value, 1000000, &n) && n > 0;
            o.corruptEvery = static_cast<uint32_t>(n);
        } else if (flag("--noise-every")) {
            ok = ParseUnsigned(value, 1000000, &n) && n > 0;
            o.noise = true;
            o.noiseEvery = static_cast<uint32_t>(n);
        } else if (flag("--hangup-after")) {
            ok = ParseUnsigned(value, 86400, &n);
            o.hangupMs = static_cast<int64_t>(n) * 1000;
        } else if (flag("--seed")) {
            ok = ParseUnsigned(value, 0xFFFFFFFFu, &n);
            o.seed = static_cast<uint32_t>(n);
            o.seedGiven = true;
        } else {
            std::snprintf(error, capacity, "%s: unknown option", name);
            return false;
        }
        if (!ok) {
            std::snprintf(error, capacity, "%s: bad value '%s'", name, value);
            return false;
        }
    }
    return true;
}

void PrintUsage(FILE* to)
{
    std::fputs(
        "usage: quorvane-device [options]\n"
        "Serves the Quorvane device protocol on a new pseudo-terminal (its path is the\n"
        "first line on stdout) or on a serial device, and traces every frame on stderr.\n"
        "\n"
        "  --port PATH                serve an existing serial device (115200 8N1 raw)\n"
        "  --link PATH                also create the symlink PATH -> the pty's slave\n"
        "  --dhcp on|off  --ip A.B.C.D  --mask A.B.C.D  --gateway A.B.C.D\n"
        "  --password TEXT            initial administrator password (at most 99 bytes)\n"
        "  --frames-log FILE          one line per frame: \"<ms> RX|RX?|TX|TXC <hex>\"\n"
        "  --quiet                    no trace on stderr\n"
        "faults:\n"
        "  --silent                   answer nothing\n"
        "  --only-netconfig           answer only GetNetConfig (0x01)\n"
        "  --ignore-changes           answer 0x03 and 0x0B with success but change nothing\n"
        "  --heartbeat-stop-after SEC stop answering heartbeats after SEC s (0: never answer)\n"
        "  --status CODE=N            reply to request CODE (7, 0x07 or all) with status N\n"
        "  --delay MS                 delay every reply\n"
        "  --corrupt-every N          flip a checksum bit of every Nth reply\n"
        "  --noise                    random noise bytes before replies\n"
        "  --noise-every N            noise before every Nth reply only\n"
        "  --fragment                 send each reply in small random pieces\n"
        "  --hangup-after SEC         close the line after SEC s and exit\n"
        "  --seed N                   seed for the random choices\n",
        to);
}
