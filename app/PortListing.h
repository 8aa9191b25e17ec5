#pragma once

#include "midi/SearchReport.h"

namespace app
{

/**
    The answer to --list, in the manner of `amidi -l`: every MIDI input and output
    the system offers, the pairs of equal name the search probes, and for each pair
    whether it acknowledged the probe (and how fast), whether its name marks the
    boot loader and the revision the pedal reported.
*/
struct PortListing
{
    /** Exit codes of a listing. */
    enum Code : int
    {
        onePedal = 0,
        noPedal = 1,
        severalPedals = 2
    };

    static juce::String describe (const midi::SearchReport& report, int probeWaitMs);

    static int exitCodeFor (const midi::SearchReport& report);
};

} // namespace app
