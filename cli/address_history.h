// What the audit log says of addresses and units: read under the log's lock
// just before a row writes to its unit, so that the lines another run or
// station appended a moment ago count. An address belongs to the unit of
// its latest record: a row that ended ok or unchanged, or a claim, the
// short line a row appends under the same lock before it writes to its
// unit. A claim is never taken back, since a row that failed after it may
// have changed its unit; only another unit's --reassign moves the address.
// Lines that are not JSON objects are passed over.
#pragma once

#include <string>

struct AddressVerdict {
    bool owned = false;        // the log gives the IP to a unit
    std::string ownerMac;      // that unit's MAC ("" when its MAC could not be read)
    std::string ownerTime;     // and the time of that record
    std::string previousIp;    // the unit's address in its latest record, when another
};

// What `logText` says of `ip` ("A.B.C.D") and of the unit with `mac` ("" when
// unknown).
AddressVerdict JudgeAddress(const std::string& logText, const std::string& ip, const std::string& mac);

// Whether a unit with `mac` may take an address with `verdict` without
// --reassign: the address is free, or already its own. A unit whose MAC
// could not be read cannot show that an owned address is its own.
bool MayTake(const AddressVerdict& verdict, const std::string& mac);
