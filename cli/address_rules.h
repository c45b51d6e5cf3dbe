// Static settings no network can use, refused before anything is sent (the
// sheet's static rows and `set static`). The dialog sends what it is given.
#pragma once

#include <string>

#include "wire/codes.h"

struct AddressProblem {
    const char* field = nullptr;   // "ip", "mask" or "gateway"; null when the settings can be used
    std::string rule;              // "255.0.255.0 is not ones followed by zeros"
};

// The first rule `config` breaks, checked mask, then IP, then gateway. A
// gateway outside the IP's subnet passes with `remoteGateway`, for the rare
// network that routes it that way.
AddressProblem CheckStaticAddresses(const NetConfig& config, bool remoteGateway);
