#pragma once

namespace bench
{

/**
    Start-up as the user meets it: this benchmark starts itself as a fresh process
    running the real application (StartupProbe) with one candidate port pair, and
    takes the times from just before the process was started to the window on
    screen, its first paint, and the device line naming the pedal on screen. Needs a
    display (run the benchmark under xvfb-run).
*/
class StartupBench
{
public:
    /** Starts `runs` processes one after another; true when every one of them found
        the pedal and the medians met their targets. */
    static bool run (int runs);

    /** Target for the window: half a second. The device line also gets the probe wait. */
    static constexpr double windowTargetMs = 500.0;
};

} // namespace bench
