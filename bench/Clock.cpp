#include "bench/Clock.h"

#include <ctime>

namespace bench
{

namespace
{
double read (clockid_t clock)
{
    timespec t{};
    clock_gettime (clock, &t);
    return static_cast<double> (t.tv_sec) * 1000.0 + static_cast<double> (t.tv_nsec) / 1.0e6;
}
} // namespace

double Clock::nowMs()
{
    return read (CLOCK_MONOTONIC);
}

double Clock::processCpuMs()
{
    return read (CLOCK_PROCESS_CPUTIME_ID);
}

} // namespace bench
