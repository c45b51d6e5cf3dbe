#include "cli/address_rules.h"

#include "cli/text.h"

namespace {

// Ones, then zeros: the bits after the mask's last one are all its zeros.
bool Contiguous(uint32_t mask)
{
    const uint32_t hostBits = ~mask;
    return (hostBits & (hostBits + 1)) == 0;
}

std::string IpRule(uint32_t ip, uint32_t mask)
{
    const std::string text = DottedText(ip);
    if (ip == 0)
        return text + " is no address";
    if ((ip >> 24) == 127)
        return text + " is a loopback address (127.0.0.0/8)";
    if ((ip >> 28) == 0xE)
        return text + " is a multicast address (224.0.0.0/4)";
    if (ip == 0xFFFFFFFFu)
        return text + " is the broadcast address";
    // A /31 (two hosts on a point-to-point link) or a /32 has neither.
    if (~mask > 1 && (ip & ~mask) == 0)
        return text + " is the network address of its subnet " + DottedText(ip & mask) + "/" + DottedText(mask);
    if (~mask > 1 && (ip & ~mask) == ~mask)
        return text + " is the broadcast address of its subnet " + DottedText(ip & mask) + "/" + DottedText(mask);
    return "";
}

std::string GatewayRule(const NetConfig& c, bool remoteGateway)
{
    if (c.gateway == 0)
        return "";
    if (c.gateway == c.ipAddress)
        return DottedText(c.gateway) + " is the IP itself";
    if (!remoteGateway && (c.gateway & c.subnetMask) != (c.ipAddress & c.subnetMask))
        return DottedText(c.gateway) + " is outside the IP's subnet " + DottedText(c.ipAddress & c.subnetMask) + "/" +
               DottedText(c.subnetMask) + " (0.0.0.0 for none; --allow-remote-gateway if the network routes it)";
    return "";
}

}  // namespace

AddressProblem CheckStaticAddresses(const NetConfig& c, bool remoteGateway)
{
    AddressProblem p;
    if (c.subnetMask == 0)
        p = {"mask", "0.0.0.0 leaves no network"};
    else if (!Contiguous(c.subnetMask))
        p = {"mask", DottedText(c.subnetMask) + " is not ones followed by zeros"};
    else if (!(p.rule = IpRule(c.ipAddress, c.subnetMask)).empty())
        p.field = "ip";
    else if (!(p.rule = GatewayRule(c, remoteGateway)).empty())
        p.field = "gateway";
    return p;
}
