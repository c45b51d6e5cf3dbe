// The sheet's rows checked against each other and against the ports
// present, before anything is sent: selectors resolved, addresses no
// network can use refused, and no IP or port given to two rows.
#pragma once

#include <vector>

#include "cli/ports.h"
#include "cli/provision_file.h"

// Selectors in the port column are resolved once, among the ports present
// now; a row whose selector matches no port or several is refused.
void ResolveRows(std::vector<ProvisionRow>& rows, const std::vector<ListedPort>& present);

// Static rows whose mask, IP or gateway no network can use are refused,
// naming the field and the rule.
void RefuseUnusableAddresses(std::vector<ProvisionRow>& rows, bool remoteGateway);

// Two rows on one port, however each named it (its name, its alias, its
// adapter), or giving one IP, are both refused, each naming the other's
// line. Run after ResolveRows.
void RefuseSharedPortsAndAddresses(std::vector<ProvisionRow>& rows, const std::vector<ListedPort>& present);
