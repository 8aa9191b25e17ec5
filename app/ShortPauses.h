#pragma once

#include "downloader/Pacing.h"
#include "midi/Timing.h"

namespace app
{

/** The pauses of the transfer and of the search for the pedal, together. */
struct Pauses
{
    downloader::Pacing pacing;
    midi::Timing timing;
};

/**
    Pauses that run a whole update against the simulated pedal in about a second: the
    boot loader's wait 3 x 1 ms, 1 ms between packages, 20 ms before each search after
    the restart, 50 ms for the probe's acknowledgement, 2 ms between looks for the
    revision reply. The simulated pedal keeps up with them when it restarts quickly
    (restart-ms=100). The demo build takes them when DEMO_PAUSES asks for "fast", the
    whole-application tests inject them; the shipped updater never sees them.
*/
inline Pauses shortPauses()
{
    Pauses pauses;
    pauses.pacing.waitRounds = 3;
    pauses.pacing.waitStepMs = 1;
    pauses.pacing.interactiveGapMs = 1;
    pauses.pacing.autoUpdateGapMs = 1;
    pauses.pacing.reconnectPauseMs = 20;
    pauses.timing.probeWaitMs = 50;
    pauses.timing.pollPauseMs = 2;
    return pauses;
}

} // namespace app
