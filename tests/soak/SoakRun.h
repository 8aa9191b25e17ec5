#pragma once

#include "RunRecord.h"
#include "SoakSettings.h"

namespace soak
{

/**
    One update against a simulated setup, with the updater's components wired as
    the application wires them and a stand-in for the window. In an interactive
    run the soak plays the user: it presses "update" when the button is enabled,
    waits for the result, if asked tries once more after a failure (once the pedal
    has settled after its restart, as a user would wait for it) and closes the
    window. An unattended run closes itself.

    Everything is built for the run and destroyed at its end, in the application's
    order, so that each run is a whole start and end of the updater.
*/
class SoakRun
{
public:
    /** Plays one run; call on the message thread. */
    static RunRecord play (const pedal::PedalConfig& config, bool interactive, bool retryAfterFailure,
                           const SoakSettings& settings);
};

} // namespace soak
