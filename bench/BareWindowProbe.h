#pragma once

namespace bench
{

/**
    The framework's own floor for the window figures: a child process that shows an
    empty juce::DocumentWindow of the updater's size for `seconds`, nothing in it and
    nothing to do, under the same runner and display as the updater.
*/
class BareWindowProbe
{
public:
    /** The process's exit code, 0 when the window was shown. */
    static int run (int seconds);
};

} // namespace bench
