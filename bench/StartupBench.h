#pragma once

namespace bench
{

/**
    Start-up as the user meets it: this benchmark starts itself as a fresh process
    running the real application (StartupProbe) with the pedal behind 0, 1 and 32
    silent port pairs, and takes the times from just before the process was started
    to the window on screen, its first paint, and the device line naming the pedal on
    screen, and from the end of the search's last probe wait to that line on screen.
    Needs a display (run the benchmark under xvfb-run).
*/
class StartupBench
{
public:
    /** Starts `runs` processes one after another for each number of silent pairs; true
        when every one of them found the pedal and the medians met their targets. */
    static bool run (int runs);

    /** The window is painted this soon after the start, however long the search takes. */
    static constexpr double windowTargetMs = 150.0;

    /** The found pedal is on screen this soon after the search's probe waits end. */
    static constexpr double deviceAfterSearchTargetMs = 50.0;

    /** From the start to the device line, however many silent pairs the system lists. */
    static constexpr double deviceShownTargetMs = 1000.0;

private:
    static bool runWithSilentPairs (int silentPairs, int runs);
};

} // namespace bench
