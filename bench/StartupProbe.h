#pragma once

#include <juce_core/juce_core.h>

namespace bench
{

/**
    The child side of the start-up figure: runs the real application under the
    framework's runner, interactive, with the simulated pedal on the in-process bus
    behind `silentPairs` port pairs that never answer, and notes (Clock::nowMs) when
    the main window is first on screen and first painted, when the search's last
    probe wait ended, when the device line names the pedal and when that line is
    next painted. Then it closes the window as a user would. The times go to
    `timesFile` as "name value" lines.
*/
class StartupProbe
{
public:
    /** The process's exit code: the application's. */
    static int run (const juce::File& timesFile, int silentPairs);
};

} // namespace bench
