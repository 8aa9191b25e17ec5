#pragma once

#include "downloader/Pacing.h"
#include "midi/Timing.h"

namespace soak
{

/**
    The timing of one soak run: the downloader's pauses, the transport's waits, how
    long the pedal takes to restart and how long the soak waits for the run to end.
    Fast runs shrink every pause; real runs keep the shipped updater's timing.
*/
struct SoakSettings
{
    downloader::Pacing pacing;
    midi::Timing timing;
    int restartMs = 4000;
    int runLimitMs = 150000;
    bool realPacing = true;

    /** The shipped updater's timing and a pedal that restarts in about 4 seconds. */
    static SoakSettings real();

    /** Every pause tiny: a whole update takes about a second. The revision reply
        window stays as shipped, since how late a reply may come is part of the test. */
    static SoakSettings fast();

    /** How long after the revision query a reply still counts. */
    int revisionWindowMs() const;

    /** How long the downloader looks for the restarted pedal before it gives up,
        not counting the searches themselves. */
    int reconnectBudgetMs() const;
};

} // namespace soak
