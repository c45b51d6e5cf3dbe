#include "device/shell.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t MaxWords = 16;
constexpr uint32_t CommandTextSize = MaxFrameBytes;   // more than any request carries

struct Words {
    char text[CommandTextSize];
    const char* word[MaxWords];
    uint32_t count;
};

void SplitWords(const char* command, uint32_t length, Words& w)
{
    if (length >= CommandTextSize)
        length = CommandTextSize - 1;
    std::memcpy(w.text, command, length);
    w.text[length] = '\0';
    w.count = 0;
    char* p = w.text;
    while (*p != '\0' && w.count < MaxWords) {
        while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')
            *p++ = '\0';
        if (*p == '\0')
            break;
        w.word[w.count++] = p;
        while (*p != '\0' && *p != ' ' && *p != '\t' && *p != '\r' && *p != '\n')
            ++p;
    }
}

void Line(ShellLineSink sink, void* context, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

void Line(ShellLineSink sink, void* context, const char* format, ...)
{
    char line[MaxSentTextBytes + 1];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    sink(context, line);
}

struct Dotted {
    char s[16];
    explicit Dotted(uint32_t a) { FormatDotted(a, s, sizeof s); }
};

void Ifconfig(const DeviceState& st, ShellLineSink sink, void* cx)
{
    const Dotted ip(st.ipAddress), mask(st.subnetMask), bcast(st.ipAddress | ~st.subnetMask);
    if (st.hardwareAddress)
        Line(sink, cx, "eth0      Link encap:Ethernet  HWaddr %02X:%02X:%02X:%02X:%02X:%02X", st.mac[0], st.mac[1],
             st.mac[2], st.mac[3], st.mac[4], st.mac[5]);
    else
        Line(sink, cx, "eth0      Link encap:Ethernet");
    Line(sink, cx, "          inet addr:%s  Bcast:%s  Mask:%s", ip.s, bcast.s, mask.s);
    Line(sink, cx, "          UP BROADCAST RUNNING MULTICAST  MTU:1500  Metric:1");
    Line(sink, cx, "          RX packets:18342 errors:0 dropped:0 overruns:0 frame:0");
    Line(sink, cx, "          TX packets:9617 errors:0 dropped:0 overruns:0 carrier:0");
    Line(sink, cx, "          collisions:0 txqueuelen:1000");
    Line(sink, cx, "          RX bytes:2284163 (2.1 MiB)  TX bytes:1022874 (998.8 KiB)");
    Line(sink, cx, "%s", "");
    Line(sink, cx, "lo        Link encap:Local Loopback");
    Line(sink, cx, "          inet addr:127.0.0.1  Mask:255.0.0.0");
    Line(sink, cx, "          UP LOOPBACK RUNNING  MTU:65536  Metric:1");
    Line(sink, cx, "          RX packets:112 errors:0 dropped:0 overruns:0 frame:0");
    Line(sink, cx, "          TX packets:112 errors:0 dropped:0 overruns:0 carrier:0");
    Line(sink, cx, "          collisions:0 txqueuelen:1000");
    Line(sink, cx, "          RX bytes:8960 (8.7 KiB)  TX bytes:8960 (8.7 KiB)");
}

void Route(const DeviceState& st, ShellLineSink sink, void* cx)
{
    const Dotted gw(st.gateway), net(st.ipAddress & st.subnetMask), mask(st.subnetMask);
    Line(sink, cx, "Kernel IP routing table");
    Line(sink, cx, "Destination     Gateway         Genmask         Flags Metric Ref    Use Iface");
    if (st.gateway != 0)
        Line(sink, cx, "%-15s %-15s %-15s %-5s %-6d %-6d %3d %s", "0.0.0.0", gw.s, "0.0.0.0",
             "UG", st.dhcp ? 10 : 0, 0, 0, "eth0");
    Line(sink, cx, "%-15s %-15s %-15s %-5s %-6d %-6d %3d %s", net.s, "0.0.0.0", mask.s, "U", 0,
         0, 0, "eth0");
}

void Ping(const Words& w, ShellLineSink sink, void* cx)
{
    const char* host = nullptr;
    uint32_t count = PingDefaultCount;
    for (uint32_t i = 1; i < w.count; ++i) {
        if (std::strcmp(w.word[i], "-c") == 0 && i + 1 < w.count) {
            const int n = std::atoi(w.word[++i]);
            count = n < 1 ? 1 : (static_cast<uint32_t>(n) > PingMaxCount ? PingMaxCount : static_cast<uint32_t>(n));
        } else if (host == nullptr) {
            host = w.word[i];
        }
    }
    uint32_t address = 0;
    if (host == nullptr) {
        Line(sink, cx, "ping: usage: ping [-c COUNT] HOST");
        return;
    }
    if (!ParseDotted(host, &address)) {
        Line(sink, cx, "ping: bad address '%.200s'", host);
        return;
    }
    Line(sink, cx, "PING %s (%s): 56 data bytes", host, host);
    // Times vary a little with the sequence number but stay reproducible.
    uint32_t sum = 0, low = 0xFFFFFFFF, high = 0;
    for (uint32_t seq = 0; seq < count; ++seq) {
        const uint32_t us = 380 + ((address + seq * 37u) % 90u);
        sum += us;
        low = us < low ? us : low;
        high = us > high ? us : high;
        Line(sink, cx, "64 bytes from %s: seq=%u ttl=64 time=%u.%03u ms", host, seq, us / 1000,
             us % 1000);
    }
    const uint32_t avg = sum / count;
    Line(sink, cx, "%s", "");
    Line(sink, cx, "--- %s ping statistics ---", host);
    Line(sink, cx, "%u packets transmitted, %u packets received, 0%% packet loss", count, count);
    Line(sink, cx, "round-trip min/avg/max = %u.%03u/%u.%03u/%u.%03u ms", low / 1000, low % 1000,
         avg / 1000, avg % 1000, high / 1000, high % 1000);
}

void Echo(const Words& w, ShellLineSink sink, void* cx)
{
    char line[MaxSentTextBytes + 1];
    size_t used = 0;
    line[0] = '\0';
    for (uint32_t i = 1; i < w.count; ++i) {
        const int n = std::snprintf(line + used, sizeof line - used, "%s%s", i > 1 ? " " : "", w.word[i]);
        if (n < 0 || static_cast<size_t>(n) >= sizeof line - used)
            break;
        used += static_cast<size_t>(n);
    }
    sink(cx, line);
}

// seq [FIRST] LAST, as busybox's: one number a line. Not in help's list:
// it is there for tests that need an answer of many kilobytes.
void Seq(const Words& w, ShellLineSink sink, void* cx)
{
    const long first = w.count > 2 ? std::atol(w.word[1]) : 1;
    const long last = w.count > 1 ? std::atol(w.word[w.count > 2 ? 2 : 1]) : 0;
    for (long n = first; n <= last && n - first < static_cast<long>(SeqMaxLines); ++n)
        Line(sink, cx, "%ld", n);
}

// 可用命令: ifconfig route ping echo help  /  ping 命令示例: ping 192.168.1.1 -c 4
constexpr char HelpLine1[] = "\xBF\xC9\xD3\xC3\xC3\xFC\xC1\xEE: ifconfig route ping echo help";
constexpr char HelpLine2[] = "ping \xC3\xFC\xC1\xEE\xCA\xBE\xC0\xFD: ping 192.168.1.1 -c 4";

}  // namespace

void RunShell(const DeviceState& state, const char* command, uint32_t length,
              ShellLineSink sink, void* context)
{
    Words w;
    SplitWords(command, length, w);
    if (w.count == 0)
        return;
    const char* name = w.word[0];
    if (std::strcmp(name, "ifconfig") == 0)
        Ifconfig(state, sink, context);
    else if (std::strcmp(name, "route") == 0)
        Route(state, sink, context);
    else if (std::strcmp(name, "ping") == 0)
        Ping(w, sink, context);
    else if (std::strcmp(name, "echo") == 0)
        Echo(w, sink, context);
    else if (std::strcmp(name, "seq") == 0)
        Seq(w, sink, context);
    else if (std::strcmp(name, "help") == 0) {
        sink(context, HelpLine1);
        sink(context, HelpLine2);
    } else
        Line(sink, context, "sh: %.900s: not found", name);
}
