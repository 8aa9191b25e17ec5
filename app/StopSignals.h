#pragma once

#include <juce_core/juce_core.h>

#include <functional>

namespace app
{

/**
    Turns a keyboard break (SIGINT) and a termination request (SIGTERM) into a call
    on the message thread, so that either ends the run the same orderly way as
    closing the window: the transfer thread stopped, the MIDI ports closed, the exit
    code and its report given.

    Without this, SIGTERM would end the process on the spot, and the framework's own
    SIGINT handler would stop the message loop behind the controller's back. The
    handler only writes the signal's number into a pipe that the message loop
    watches; everything else happens on the message thread. One object at a time;
    the destructor puts the previous handlers back. Where the framework's event loop
    cannot watch a file (other than Linux and the BSDs), it does nothing.
*/
class StopSignals
{
public:
    explicit StopSignals (std::function<void (int signalNumber)> onStop);
    ~StopSignals();

    /** "SIGINT", "SIGTERM", or the number. */
    static juce::String nameOf (int signalNumber);

private:
    struct Native;
    std::unique_ptr<Native> native;

    JUCE_DECLARE_NON_COPYABLE (StopSignals)
};

} // namespace app
