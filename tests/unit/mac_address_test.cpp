// The first interface's hardware address from an ifconfig answer fed reply by
// reply: both forms, the reply at which the search ends, a later interface's
// address never taken, and answers with none or a malformed one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/mac_address.h"

namespace {

// The two forms; BusyBox's as the virtual device answers (device/shell.cpp).
const std::string Eth0 = "eth0      Link encap:Ethernet  HWaddr 00:1C:27:5A:01:0A";
const std::string Eth0Inet = "          inet addr:192.168.1.21  Bcast:192.168.1.255  Mask:255.255.255.0";
const std::string EthIface = "eth0: flags=4163<UP,BROADCAST,RUNNING,MULTICAST>  mtu 1500";
const std::string EthInet = "        inet 192.168.1.21  netmask 255.255.255.0  broadcast 192.168.1.255";
const std::string EthEther = "        ether 00:1c:27:5a:01:0a  txqueuelen 1000  (Ethernet)";
const std::string LoIface = "lo        Link encap:Local Loopback";
const std::string LoInet = "          inet addr:127.0.0.1  Mask:255.0.0.0";
const std::string Eth1 = "eth1      Link encap:Ethernet  HWaddr 00:1C:27:5A:01:0B";

}  // namespace

TEST(MacAddress, FirstInterfaceOnlyReplyByReply)
{
    const struct {
        const char* name;
        std::vector<std::string> replies;
        MacSearch state;
        const char* mac;
        size_t endedAt;   // replies fed when the search ended, 0 for never
    } cases[] = {
        {"HWaddr on the interface line", {Eth0, Eth0Inet, "", LoIface, LoInet}, MacSearch::Found, "00:1C:27:5A:01:0A", 1},
        {"ether on a later line", {EthIface, EthInet, EthEther, "", "lo: flags=73<UP,LOOPBACK,RUNNING>  mtu 65536"},
         MacSearch::Found, "00:1C:27:5A:01:0A", 3},
        {"answer split across replies, CR LF lines", {EthIface + "\r\n" + EthInet + "\r\n", EthEther + "\r\n\r\nlo: flags=73"},
         MacSearch::Found, "00:1C:27:5A:01:0A", 2},
        {"several lines in a reply, blank lines first", {"", "\n" + EthIface + "\n", EthInet + "\n" + EthEther + "\n\n" + Eth1},
         MacSearch::Found, "00:1C:27:5A:01:0A", 3},
        {"second interface not taken after a blank line", {LoIface, LoInet, "", Eth1}, MacSearch::Absent, "", 3},
        {"second interface not taken at column 0", {EthIface + "\n" + EthInet, Eth1, EthEther}, MacSearch::Absent, "", 2},
        {"loopback only, answer ends", {LoIface, LoInet}, MacSearch::Reading, "", 0},
        {"indented address before any interface", {"        ether 00:11:22:33:44:55", LoIface, ""}, MacSearch::Absent, "", 3},
        {"not ifconfig output", {"sh: ifconfig: not found"}, MacSearch::Reading, "", 0},
        {"five pairs", {"eth0  HWaddr 00:1C:27:5A:01", Eth1}, MacSearch::Malformed, "", 1},
        {"a pair not hex", {"eth0  HWaddr 00:1C:27:5A:01:0G"}, MacSearch::Malformed, "", 1},
        {"dashes", {"eth0  HWaddr 00-1C-27-5A-01-0A"}, MacSearch::Malformed, "", 1},
        {"a digit too many", {"eth0: flags=0", "  ether 00:1c:27:5a:01:0a0"}, MacSearch::Malformed, "", 2},
        {"keyword ends the line (a line cut across replies)", {"eth0  Link encap:Ethernet  HWaddr", " 00:1C:27:5A:01:0A"},
         MacSearch::Malformed, "", 1},
        {"address cut across replies", {"eth0  Link encap:Ethernet  HWaddr 00:1C:27", ":5A:01:0A"}, MacSearch::Malformed, "", 1},
    };
    for (const auto& c : cases) {
        MacReader reader;
        size_t endedAt = 0;
        for (size_t i = 0; i < c.replies.size(); ++i)
            if (FeedIfconfigReply(reader, c.replies[i]) && endedAt == 0)
                endedAt = i + 1;
        EXPECT_EQ(reader.state, c.state) << c.name;
        EXPECT_EQ(reader.mac, c.mac) << c.name;
        EXPECT_EQ(endedAt, c.endedAt) << c.name;
    }
}
