#pragma once

#include "downloader/Pacing.h"
#include "midi/PortLayer.h"
#include "midi/Timing.h"

#include <functional>
#include <juce_core/juce_core.h>
#include <memory>

namespace app
{

/** The pauses an executable runs with: those of the transfer (downloader::Pacing) and
    those of the search for the pedal (midi::Timing). As made, the real ones, which the
    pedal's boot loader needs. */
struct Pauses
{
    downloader::Pacing pacing;
    midi::Timing timing;

    /** Pauses that run a whole update against the simulated pedal in about a second: the
        boot loader's wait 3 x 1 ms, 1 ms between packages, 20 ms before each search after
        the restart, 50 ms for the probe's acknowledgement, 2 ms between looks for the
        revision reply. The simulated pedal keeps up with them when it restarts quickly
        (restart-ms=100). The demo build takes them when DEMO_PAUSES asks for "fast", the
        whole-application tests inject them; the shipped updater never sees them. */
    static Pauses fast()
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
};

/**
    What an executable is built with: the MIDI ports it talks to and its pauses.

    Each executable links one definition of ofThisExecutable(), in the file named after
    the build: ShippedBuild.cpp for firmware-updater (the system's MIDI ports through
    JUCE and the real pauses; it reads no setting) and DemoBuild.cpp for
    firmware-updater-demo (a simulated pedal inside the process, set up by PEDAL_SIM and
    its companions, and the pauses DEMO_PAUSES asks for). Tests make their own.
*/
struct ExecutableBuild
{
    using PortLayerFactory = std::function<std::unique_ptr<midi::PortLayer>()>;

    /** Makes the ports of one run: one call per run. */
    PortLayerFactory createPorts;

    Pauses pauses;

    /** Empty, or why a setting of this executable cannot be used ("DEMO_PAUSES: ..."): a
        mistyped setting must not quietly turn into another one. Every run but one that
        only answers --help or --version then ends at its start with this line on
        standard error and -1, like any other run that cannot start. */
    juce::String settingsProblem;

    /** This executable's build, its settings read once. */
    static ExecutableBuild ofThisExecutable();
};

} // namespace app
