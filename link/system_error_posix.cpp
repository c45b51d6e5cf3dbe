#include <cstdio>
#include <cstring>

#include "link/port_identity.h"
#include "link/system_error.h"

void SystemMessage(int32_t osError, char* out, size_t capacity)
{
    CopyIdentityText(std::strerror(osError), out, capacity);
}

void SystemErrorText(int32_t osError, char* out, size_t capacity)
{
    std::snprintf(out, capacity, "%s (errno %d)", std::strerror(osError), static_cast<int>(osError));
}
