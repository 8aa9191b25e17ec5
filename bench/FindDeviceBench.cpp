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
        pedal::PedalConfig config;
        config.extraDevices = silentPairs;
        pedal::SimulatedSetup setup (config);
        midi::Midi transport (setup.makePorts(), timing);

        const int pairs = silentPairs + 1;
        std::vector<double> costs;

        for (int i = 0; i < repeats; ++i)
        {
            const auto start = Clock::nowMs();
            const bool found = transport.findDevice (pedal::modelByte);
            const auto elapsed = Clock::nowMs() - start;
            transport.closeDevice();

            allFound = allFound && found;
            costs.push_back ((elapsed - pairs * timing.probeWaitMs) / pairs);
        }

        std::sort (costs.begin(), costs.end());
        const auto name = "find." + juce::String (silentPairs) + "-silent.cost-per-pair";

        if (!allFound)
        {
            Figure::printFailure (name, "the pedal was not found");
            continue;
        }

        Figure::measured (name, costs[costs.size() / 2], "ms", 3,
                          "median of " + juce::String (repeats) + " searches over " + juce::String (pairs) +
                              " pairs beyond " + juce::String (timing.probeWaitMs) + " ms each; largest " +
                              juce::String (costs.back(), 3) + " ms")
            .print();
    }

    return allFound;
}

} // namespace bench
