#pragma once

#include "tools/pedal/SimulatedPedal.h"

namespace pedal
{

/**
    When pedal-sim --exit-after-update ends, so that an updater at the other end sees a
    whole update: the pedal must have checked an image, restarted, and then either have
    answered a revision query since it came back (the updater reads the revision right
    after the restart; leaving at the comeback itself would take the ports away before
    it can), or have been back for the grace time without being asked, or stay unplugged.
*/
class ExitAfterUpdate
{
public:
    /** `graceMs`: how long the pedal stays once back when nobody asks for its revision. */
    explicit ExitAfterUpdate (double graceMs = defaultGraceMs);

    /** Looks at the pedal's state at `nowMs` (milliseconds of any steady clock); true once
        pedal-sim should exit. Call it regularly with the pedal's latest state. */
    bool isDue (const SimulatedPedal::Status& status, double nowMs);

    /** Longer than the updater's whole reconnection (eight attempts 2.5 s apart). */
    static constexpr double defaultGraceMs = 30000.0;

private:
    const double graceMs;
    int queriesBeforeComeback = -1;
    double backSinceMs = -1.0;
};

} // namespace pedal
