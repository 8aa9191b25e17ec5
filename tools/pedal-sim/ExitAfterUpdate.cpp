#include "tools/pedal-sim/ExitAfterUpdate.h"

namespace pedal
{

ExitAfterUpdate::ExitAfterUpdate (double grace)
    : graceMs (grace)
{
}

bool ExitAfterUpdate::isDue (const SimulatedPedal::Status& status, double nowMs)
{
    using Presence = SimulatedPedal::Presence;

    if (status.check == SimulatedPedal::CheckOutcome::notRun)
        return false;

    switch (status.presence)
    {
        case Presence::unplugged:
            return true;

        case Presence::off:
        case Presence::restarting:
            // Queries answered before the image ended (a search at start-up) do not count.
            queriesBeforeComeback = status.queries;
            return false;

        case Presence::online:
            // A restart too short to be seen still counts only the queries from here on.
            if (queriesBeforeComeback < 0)
                queriesBeforeComeback = status.queries;

            if (backSinceMs < 0.0)
                backSinceMs = nowMs;

            return status.queries > queriesBeforeComeback || nowMs - backSinceMs >= graceMs;
    }

    return false;
}

} // namespace pedal
