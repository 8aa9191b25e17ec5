#pragma once

#include "controller/Controller.h"

namespace app
{

/**
    The one line on standard error with which an unattended run that did not update
    the pedal ends: what happened, then what to do next, so that a script that runs
    the updater can tell its user (for the boot loader's steps it points to --help,
    which lists them). The window's texts are not these; it shows the
    same failure text whatever went wrong.
*/
struct OutcomeReport
{
    /** The line for a run that ended with `outcome`; empty when the pedal was updated.
        `stopCause` says what ended a run that had no result yet ("the window was
        closed", "SIGTERM"). */
    static juce::String lineFor (const controller::Controller::Outcome& outcome,
                                 const juce::String& stopCause);

    /** A second start while another copy holds the single-instance guard. */
    static juce::String anotherCopyRunning();

    /** No display to open the window on. */
    static juce::String noDisplay();
};

} // namespace app
