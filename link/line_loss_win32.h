// Telling a pulled adapter from a port that merely failed, on Win32.
//
// A USB serial driver whose adapter was pulled fails every call on the
// handle that worked until then: ERROR_BAD_COMMAND or ERROR_ACCESS_DENIED
// from the FTDI and Prolific drivers, ERROR_DEVICE_REMOVED,
// ERROR_GEN_FAILURE or ERROR_DEV_NOT_EXIST from others. On an open handle
// those mean the device is gone, not busy or forbidden (an opening says
// that with the same ERROR_ACCESS_DENIED, so an opening is not judged here).
// ERROR_OPERATION_ABORTED is left out: the port's own close cancels with
// it, and Wine ends every comm-event wait on a pty with it; the call after
// it on a pulled adapter fails with one of the codes above.
#pragma once

#include <cstdint>

#include "wire/result.h"

// Removed or Failed, for `error` of step `what` on a handle that worked.
Result LineLoss(uint32_t error, const char* what);
