// Telling a pulled adapter from a line that merely failed, on POSIX.
//
// When a USB serial adapter is pulled, the kernel hangs up its tty (a read
// returns 0 with POLLHUP, later ones EIO; writes fail with EIO) and removes
// its device node. A hang-up alone can also be a modem's carrier, and EIO a
// passing fault, so the rule is: the line is gone when the system says so
// itself (ENODEV, ENXIO), or when it failed or hung up and the path it was
// opened by no longer names the device held open (the node removed, or
// another device in its place). A pseudo-terminal whose far end closed
// counts as gone too: the kernel removes its /dev/pts node at once.
#pragma once

#include "wire/result.h"

// `fd` is the open line, `path` the path it was opened by, `what` the step
// that failed and `error` its errno (0 for a hang-up the system gave no
// error for). Removed with the system's reason, or Failed.
Result LineLoss(int fd, const char* path, const char* what, int error);
