#include "link/line_loss_win32.h"

#include <windows.h>

Result LineLoss(uint32_t error, const char* what)
{
    switch (error) {
    case ERROR_BAD_COMMAND: case ERROR_ACCESS_DENIED: case ERROR_DEVICE_REMOVED:
    case ERROR_GEN_FAILURE: case ERROR_DEV_NOT_EXIST: case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_FILE_NOT_FOUND:
        return Failure(Status::Removed, what, static_cast<int32_t>(error));
    default:
        return Failure(Status::Failed, what, static_cast<int32_t>(error));
    }
}
