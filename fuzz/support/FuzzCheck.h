#pragma once

#include <cstdio>
#include <cstdlib>

/** Stops the run with a crash that libFuzzer records, naming the broken invariant. */
#define FUZZ_CHECK(condition)                                                                                \
    do                                                                                                       \
    {                                                                                                        \
        if (!(condition))                                                                                    \
        {                                                                                                    \
            std::fprintf (stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition);          \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)
