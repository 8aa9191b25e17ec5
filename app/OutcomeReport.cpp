#include "app/OutcomeReport.h"

#include "app/Console.h"

namespace app
{

juce::String OutcomeReport::lineFor (const controller::Controller::Outcome& outcome,
                                     const juce::String& stopCause)
{
    using Kind = controller::Controller::Outcome::Kind;

    // The steps themselves are written out once, in the help text that --help repeats.
    const auto bootLoader = "put the pedal into its boot loader (" + Console::programName() +
                            " --help lists the steps) and run the update again";

    switch (outcome.kind)
    {
        case Kind::updated:
            return {};

        case Kind::pedalNotFound:
            return "no pedal found: connect the pedal by USB, quit other MIDI programs, " + bootLoader;

        case Kind::severalPedals:
            return "more than one pedal is connected (" + juce::String (outcome.pedalsAnswered) +
                   " answered), so nothing was sent: connect only the pedal to update, " + bootLoader;

        case Kind::none:
            return "stopped before a result (" + stopCause + "): the update is not confirmed; " + bootLoader;

        case Kind::failed:
            break;
    }

    switch (outcome.failure)
    {
        case message::pedalDidNotReturn:
            return "the pedal did not come back after the transfer: leave it connected, " + bootLoader;

        case message::revisionNotAnswered:
            return "the pedal did not answer the revision question after the transfer: " + bootLoader;

        case message::revisionMismatch:
            return "the pedal reported revision " + juce::String (outcome.pedalRevision) + " instead of " +
                   juce::String (outcome.imageRevision) + ": it did not take the firmware; " + bootLoader;

        case message::pedalNotFound:
            return "no pedal found when the transfer began: connect the pedal by USB, " + bootLoader;

        case message::severalPedals:
            return "more than one pedal answered after the restart (was one plugged in during the update?): "
                   "connect only the pedal to update, " +
                   bootLoader;

        case message::transferNotStarted:
            return "the transfer could not be started (the system refused a thread): run the update again";

        default:
            return "the update failed (status " + juce::String (outcome.failure) + "): " + bootLoader;
    }
}

juce::String OutcomeReport::anotherCopyRunning()
{
    return "another copy of the updater is running: wait for it to finish, then run the update again";
}

juce::String OutcomeReport::noDisplay()
{
    return "no display available (is DISPLAY set?); cannot open the window";
}

} // namespace app
