#pragma once

#include <juce_core/juce_core.h>

#include <vector>

namespace pedal
{

/**
    When the firmware packages of one update reached the pedal, and what that says
    about the pacing: the gaps between consecutive flash blocks, as the pedal sees them.
*/
class ArrivalTimes
{
public:
    struct Gaps
    {
        int count = 0;
        double minMs = 0.0, medianMs = 0.0, p99Ms = 0.0, maxMs = 0.0;
    };

    /** Forgets earlier arrivals: a new update begins. */
    void restart() { blockTimesMs.clear(); }

    void addBlock (double timeMs) { blockTimesMs.push_back (timeMs); }

    /** Gaps between consecutive blocks since the last restart(). */
    Gaps gaps() const;

private:
    std::vector<double> blockTimesMs;
};

} // namespace pedal
