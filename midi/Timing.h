#pragma once

namespace midi
{

/**
    The transport's fixed waits, in milliseconds. The shipped updater keeps the
    defaults; tests shorten them so that a search over several port pairs runs fast.
*/
struct Timing
{
    /** How long a pair of ports is given to acknowledge the device probe. */
    int probeWaitMs = 300;

    /** The pause between two looks for the pedal's reply in sendAndReceive(). */
    int pollPauseMs = 10;
};

} // namespace midi
