// The device's hardware address from its `ifconfig` answer: the first
// interface's, in either form ifconfig prints it,
//
//   eth0      Link encap:Ethernet  HWaddr 00:1C:27:5A:01:0A      (BusyBox, old net-tools)
//
//   eth0: flags=4163<UP,BROADCAST,RUNNING,MULTICAST>  mtu 1500   (newer net-tools)
//           inet 192.168.1.21  netmask 255.255.255.0
//           ether 00:1c:27:5a:01:0a  txqueuelen 1000  (Ethernet)
//
// An interface starts on a line at column 0 and its lines end at an empty
// line or the next line at column 0; an address on a later interface is never
// taken. The answer is fed as it arrives, reply by reply, and the search ends
// as soon as the first interface's address line (or its end) has come.
#pragma once

#include <string>

enum class MacSearch {
    Reading,     // the first interface has not ended yet: feed the next reply
    Found,       // `mac` holds the address
    Absent,      // the first interface ended without HWaddr or ether
    Malformed,   // HWaddr or ether was not followed by six hex pairs
};

struct MacReader {
    MacSearch state = MacSearch::Reading;
    bool inFirst = false;   // a line of the first interface has come
    std::string mac;        // upper case, colons: "00:1C:27:5A:01:0A"
};

// One reply's text (ASCII: GBK or UTF-8 alike). It may hold several lines
// separated by "\n" (a "\r" before it is dropped); its end ends its last line,
// as this device sends one line per reply and none longer than a reply holds
// (a line cut across two replies would be taken as two lines: the address
// could then be missed, never taken from elsewhere). Returns true once the
// search has ended; further replies change nothing. An answer that ends while
// the state is still Reading has no address.
bool FeedIfconfigReply(MacReader& reader, const std::string& text);
