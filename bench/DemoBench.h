#pragma once

#include <string>

namespace bench
{

/**
    The demo build (the whole application, window included, with the simulated pedal
    inside) as a child process: its peak resident memory through an unattended
    update, read from /proc while it runs and from the kernel when it ends; its CPU
    share during the transfer and, in a second start, with the window open and idle;
    and the block gaps its pedal saw. A third start (IdleAfterUpdateProbe, the same
    application and simulated pedal inside this benchmark) keeps the window open after
    an update to give the idle share of the finished window. Needs a display (xvfb-run).
*/
class DemoBench
{
public:
    /** True when the update succeeded and every figure with a target met it. */
    static bool run (const std::string& demoPath);

    static constexpr double peakTargetMb = 60.0;

    /** CPU of the whole demo, window included, in % of one core. */
    static constexpr double transferTargetPercent = 1.0;
    static constexpr double idleTargetPercent = 0.5;
};

} // namespace bench
