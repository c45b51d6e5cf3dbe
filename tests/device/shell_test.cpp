#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/device/device_state.h"
#include "tools/device/shell.h"

namespace {

std::vector<std::string> Shell(const DeviceState& state, const std::string& command)
{
    std::vector<std::string> lines;
    RunShell(state, command.data(), static_cast<uint32_t>(command.size()),
             [](void* cx, const char* line) { static_cast<std::vector<std::string>*>(cx)->push_back(line); },
             &lines);
    return lines;
}

bool Contains(const std::vector<std::string>& lines, const std::string& part)
{
    for (const std::string& l : lines)
        if (l.find(part) != std::string::npos)
            return true;
    return false;
}

TEST(DeviceShell, IfconfigReflectsTheCurrentSettings)
{
    DeviceState s = DefaultDeviceState();
    auto lines = Shell(s, "ifconfig");
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(lines[0].rfind("eth0 ", 0), 0u);
    EXPECT_EQ(lines[1], "          inet addr:192.168.1.10  Bcast:192.168.1.255  Mask:255.255.255.0");
    EXPECT_TRUE(Contains(lines, "lo        Link encap:Local Loopback"));

    ASSERT_TRUE(ParseDotted("10.20.30.40", &s.ipAddress));
    ASSERT_TRUE(ParseDotted("255.255.0.0", &s.subnetMask));
    lines = Shell(s, "ifconfig");
    EXPECT_EQ(lines[1], "          inet addr:10.20.30.40  Bcast:10.20.255.255  Mask:255.255.0.0");
    EXPECT_FALSE(Contains(lines, "192.168.1.10"));
    for (const std::string& l : lines)
        EXPECT_LE(l.size(), MaxShellLine);
}

TEST(DeviceShell, RouteShowsTheGatewayAndTheNetwork)
{
    DeviceState s = DefaultDeviceState();
    ASSERT_TRUE(ParseDotted("172.16.5.9", &s.ipAddress));
    ASSERT_TRUE(ParseDotted("255.255.240.0", &s.subnetMask));
    ASSERT_TRUE(ParseDotted("172.16.0.254", &s.gateway));
    const auto lines = Shell(s, "route");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Kernel IP routing table");
    EXPECT_EQ(lines[2].substr(0, 32), "0.0.0.0         172.16.0.254    ");
    EXPECT_EQ(lines[3].substr(0, 48), "172.16.0.0      0.0.0.0         255.255.240.0   ");
    EXPECT_EQ(lines[3].substr(lines[3].size() - 4), "eth0");
}

TEST(DeviceShell, PingPrintsFourRepliesAndASummary)
{
    const auto lines = Shell(DefaultDeviceState(), "ping 192.168.1.1 -c 4");
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], "PING 192.168.1.1 (192.168.1.1): 56 data bytes");
    for (int seq = 0; seq < 4; ++seq)
        EXPECT_EQ(lines[1 + seq].rfind("64 bytes from 192.168.1.1: seq=" + std::to_string(seq) + " ttl=64 time=", 0), 0u);
    EXPECT_EQ(lines[5], "");
    EXPECT_EQ(lines[6], "--- 192.168.1.1 ping statistics ---");
    EXPECT_EQ(lines[7], "4 packets transmitted, 4 packets received, 0% packet loss");
    EXPECT_EQ(lines[8].rfind("round-trip min/avg/max = ", 0), 0u);

    EXPECT_EQ(Shell(DefaultDeviceState(), "ping -c 2 8.8.8.8").size(), 7u);
    EXPECT_EQ(Shell(DefaultDeviceState(), "ping nowhere -c 4"),
              std::vector<std::string>{"ping: bad address 'nowhere'"});
    EXPECT_EQ(Shell(DefaultDeviceState(), "ping").size(), 1u);
}

TEST(DeviceShell, OtherCommandsAreNotFound)
{
    EXPECT_EQ(Shell(DefaultDeviceState(), "reboot now"), std::vector<std::string>{"sh: reboot: not found"});
    EXPECT_EQ(Shell(DefaultDeviceState(), "  ls  "), std::vector<std::string>{"sh: ls: not found"});
    EXPECT_TRUE(Shell(DefaultDeviceState(), "   ").empty());
    // Bytes the utility sends in GBK come back unchanged: 你好
    EXPECT_EQ(Shell(DefaultDeviceState(), "echo \xC4\xE3\xBA\xC3  x"),
              std::vector<std::string>{"\xC4\xE3\xBA\xC3 x"});
    const auto help = Shell(DefaultDeviceState(), "help");
    ASSERT_EQ(help.size(), 2u);
    EXPECT_EQ(help[0].rfind("\xBF\xC9\xD3\xC3\xC3\xFC\xC1\xEE", 0), 0u);   // 可用命令
}

TEST(DeviceShell, VeryLongCommandStaysWithinOneReply)
{
    const std::string name(1005, 'z');
    const auto lines = Shell(DefaultDeviceState(), name);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_LE(lines[0].size(), MaxShellLine);
    EXPECT_EQ(lines[0].rfind("sh: zzz", 0), 0u);
}

TEST(DeviceState, DottedAddressesParseStrictly)
{
    uint32_t a = 0;
    EXPECT_TRUE(ParseDotted("0.0.0.0", &a));
    EXPECT_EQ(a, 0u);
    EXPECT_TRUE(ParseDotted("255.254.1.10", &a));
    EXPECT_EQ(a, 0xFFFE010Au);
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", "a.b.c.d", "1..2.3", "0001.2.3.4"})
        EXPECT_FALSE(ParseDotted(bad, &a)) << bad;
    char text[16];
    FormatDotted(0xC0A8010A, text, sizeof text);
    EXPECT_STREQ(text, "192.168.1.10");
}

TEST(DeviceState, LongPasswordsAreCutTo99Bytes)
{
    DeviceState s = DefaultDeviceState();
    EXPECT_TRUE(SetPassword(s, std::string(99, 'p').c_str()));
    EXPECT_EQ(std::string(s.password).size(), 99u);
    EXPECT_FALSE(SetPassword(s, std::string(120, 'q').c_str()));
    EXPECT_EQ(std::string(s.password), std::string(99, 'q'));
}

}  // namespace
