#pragma once

namespace bench
{

/** The two clocks every figure is read from. */
struct Clock
{
    /** CLOCK_MONOTONIC in milliseconds: the same clock in every process of the machine,
        so a time taken in the benchmark compares with one taken in its child. */
    static double nowMs();

    /** CPU time used so far by all threads of this process, in milliseconds. */
    static double processCpuMs();
};

} // namespace bench
