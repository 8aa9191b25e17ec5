#include "bench/FindDeviceBench.h"

#include "bench/Clock.h"
#include "bench/Figure.h"
#include "midi/Midi.h"
#include "tools/pedal/PedalProtocol.h"
#include "tools/pedal/SimulatedSetup.h"

#include <algorithm>
#include <vector>

namespace bench
{

bool FindDeviceBench::run (int repeats)
{
    const juce::ScopedJuceInitialiser_GUI juceRunning;
    const midi::Timing timing;
    bool allFound = true;

    for (const int silentPairs : {1, 8, 32})
    {
        // Silent pairs both before and after the pedal: the search must count every
        // pedal, so it probes them all.
        pedal::PedalConfig config;
        config.extraDevices = silentPairs;
        config.extraDevicesAfter = silentPairs;
        pedal::SimulatedSetup setup (config);
        midi::Midi transport (setup.makePorts(), timing);

        const int pairs = 2 * silentPairs + 1;
        std::vector<double> searches;

        for (int i = 0; i < repeats; ++i)
        {
            const auto start = Clock::nowMs();
            const bool found = transport.findDevice (pedal::modelByte);
            searches.push_back (Clock::nowMs() - start);
            transport.closeDevice();

            allFound = allFound && found;
        }

        std::sort (searches.begin(), searches.end());
        const auto name = "find." + juce::String (silentPairs) + "-silent-before-and-after.search";

        if (!allFound)
        {
            Figure::printFailure (name, "the pedal was not found");
            continue;
        }

        const auto figure = Figure::withTarget (
            name, searches[searches.size() / 2], "ms", 1, searchTargetMs,
            "median of " + juce::String (repeats) + " searches over " + juce::String (pairs) +
                " pairs probed at once, two " + juce::String (timing.probeWaitMs) + " ms waits; largest " +
                juce::String (searches.back(), 1) + " ms");
        figure.print();
        allFound = allFound && figure.meetsTarget();
    }

    return allFound;
}

} // namespace bench
