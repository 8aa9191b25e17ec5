#pragma once

#include <juce_core/juce_core.h>

namespace bench
{

/**
    One whole update in this process, with the updater's real controller, model,
    downloader and MIDI transport at the real pacing, against the simulated pedal on
    the in-process bus; BenchView stands in for the window. Prints the transfer's
    duration against its pacing floor, the block gaps as the pedal saw them and the
    process's CPU share during the transfer.

    The pedal restarts in 1 s, so the first reconnection attempt finds it and the
    floor is well defined.
*/
class TransferBench
{
public:
    /** Runs once; true when the update succeeded and every figure met its target. */
    static bool run (bool interactive);

    /** The pedal's settings for a measured transfer. */
    static constexpr const char* pedalSettings = "restart-ms=1000";
};

} // namespace bench
