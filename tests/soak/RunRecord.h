#pragma once

#include "tools/pedal/PedalConfig.h"
#include "tools/pedal/SimulatedPedal.h"

#include <vector>

namespace soak
{

/** One update of a run: what the updater reported, and the pedals before and after it. */
struct Attempt
{
    bool requested = false;    ///< started: by the user's press, or unattended once the pedal was found
    juce::String resultText;   ///< the result this update showed, empty if none
    int exitCode = 0;          ///< the controller's exit code once the update had ended
    double progressPeak = 0.0; ///< the highest bar value the update showed

    std::vector<pedal::SimulatedPedal::Status> pedalsBefore, pedalsAfter;
};

/** Everything one soak run left behind: what the updater reported and what the pedals say. */
struct RunRecord
{
    //==============================================================================
    // What was played.
    bool interactive = false;
    juce::StringArray faults;
    juce::String settings;

    /** None of the faults can break an update (FaultDeck): every update must succeed. */
    bool harmless = false;

    /** The settings each pedal of the setup ran with, in the bus's order. */
    std::vector<pedal::PedalConfig> pedalConfigs;

    //==============================================================================
    // What happened: one update, or two when the user tried again after a failure.
    std::vector<Attempt> attempts;
    bool ended = false;            ///< the run came to its end within the limit
    bool downloaderStopped = true; ///< the transfer thread had ended before the teardown
    double durationMs = 0.0;

    //==============================================================================
    // What was left once the updater was gone.
    int openPortsAfter = 0; ///< ports of the bus still held by the updater
    int downloaderThreadsAfter = 0;
    int pedalThreadsAfter = 0;
    int threadsAfter = 0; ///< all threads of the process
};

} // namespace soak
