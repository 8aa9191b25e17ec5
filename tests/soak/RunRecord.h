#pragma once

#include "tools/pedal/PedalConfig.h"
#include "tools/pedal/SimulatedPedal.h"

#include <vector>

namespace soak
{

/** Everything one soak run left behind: what the updater reported and what the pedals say. */
struct RunRecord
{
    //==============================================================================
    // What was played.
    bool interactive = false;
    juce::StringArray faults;
    juce::String settings;

    //==============================================================================
    // What the updater did and reported.
    bool ended = false;            ///< the run came to its end within the limit
    bool updateRequested = false;  ///< an update was started (by the user, or unattended)
    bool downloaderStopped = true; ///< the transfer thread had ended before the teardown
    int exitCode = 0;              ///< the controller's exit code
    juce::String resultText;       ///< the result shown, empty if none
    bool deviceFound = false;
    double durationMs = 0.0;

    //==============================================================================
    // What the pedals say once the updater is gone, with the settings each one ran.
    std::vector<pedal::PedalConfig> pedalConfigs;
    std::vector<pedal::SimulatedPedal::Status> pedals;

    //==============================================================================
    // What was left once the updater was gone.
    int openPortsAfter = 0; ///< ports of the bus still held by the updater
    int downloaderThreadsAfter = 0;
    int pedalThreadsAfter = 0;
    int threadsAfter = 0; ///< all threads of the process
};

} // namespace soak
