// An invariant a fuzz target holds beyond the sanitizers' findings: when it
// breaks, the input is a crash for libFuzzer to keep, with the condition named.
#pragma once

#include <cstdlib>

#define FUZZ_CHECK(cond)                                                                   \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            __builtin_printf("invariant broken: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)
