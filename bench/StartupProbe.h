#pragma once

#include <juce_core/juce_core.h>

namespace bench
{

/**
    The child side of the start-up figure: runs the real application under the
    framework's runner, interactive, with one simulated pedal on the in-process bus,
    and notes (Clock::nowMs) when the main window is first on screen and first
    painted, when the device line names the pedal and when that line is next painted.
    Then it closes the window as a user would. The times go to `timesFile` as
    "name value" lines.
*/
class StartupProbe
{
public:
    /** The process's exit code: the application's. */
    static int run (const juce::File& timesFile);
};

} // namespace bench
