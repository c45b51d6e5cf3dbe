#include "link/line_loss_posix.h"

#include <sys/stat.h>

#include <cerrno>

Result LineLoss(int fd, const char* path, const char* what, int error)
{
    if (error == ENODEV || error == ENXIO)
        return Failure(Status::Removed, what, error);
    struct stat held {};
    struct stat named {};
    if (path == nullptr || path[0] == '\0' || fstat(fd, &held) != 0)
        return Failure(Status::Failed, what, error);   // nothing to compare: no verdict
    if (stat(path, &named) != 0)
        return Failure(Status::Removed, "the line hung up and its device node is gone", errno);
    if (named.st_rdev != held.st_rdev)
        return Failure(Status::Removed, "the line hung up and its device node names another device");
    return Failure(Status::Failed, what, error);
}
