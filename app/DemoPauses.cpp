#include "app/BuildPauses.h"
#include "app/ShortPauses.h"

#include <juce_core/juce_core.h>

#include <cstdlib>
#include <iostream>

namespace app
{

namespace
{
[[noreturn]] void refuse (const juce::String& why)
{
    // A mistyped setting must not quietly turn into the real pauses, nor the other way round.
    std::cerr << "firmware-updater-demo: DEMO_PAUSES: " << why << std::endl;
    std::exit (2);
}

/** The pause a KEY=milliseconds item sets; null for an unknown key. */
int* pauseNamed (Pauses& pauses, const juce::String& key)
{
    if (key == "wait-rounds")
        return &pauses.pacing.waitRounds;
    if (key == "wait-step-ms")
        return &pauses.pacing.waitStepMs;
    if (key == "gap-ms")
        return &pauses.pacing.interactiveGapMs;
    if (key == "autoupdate-gap-ms")
        return &pauses.pacing.autoUpdateGapMs;
    if (key == "reconnect-ms")
        return &pauses.pacing.reconnectPauseMs;
    if (key == "probe-wait-ms")
        return &pauses.timing.probeWaitMs;
    if (key == "poll-ms")
        return &pauses.timing.pollPauseMs;
    return nullptr;
}

/**
    The demo build's pauses: the real ones, unless DEMO_PAUSES says otherwise. It holds
    comma-separated items, applied from left to right:

        fast                  shortPauses() (app/ShortPauses.h): a whole update in
                              about a second, which the simulated pedal keeps up with
                              (give it restart-ms=100 in PEDAL_SIM, or it restarts
                              slower than the updater waits)
        real                  the shipped updater's pauses (the default)
        wait-rounds=N         pauses after the first package (interactive runs)
        wait-step-ms=N        length of each of them
        gap-ms=N              pause after each further package, interactive
        autoupdate-gap-ms=N   the same, unattended
        reconnect-ms=N        pause before each search after the restart
        probe-wait-ms=N       time a port pair gets to acknowledge the probe
        poll-ms=N             pause between looks for the revision reply
*/
Pauses pausesFromEnvironment()
{
    Pauses pauses;

    const auto text = juce::SystemStats::getEnvironmentVariable ("DEMO_PAUSES", {});

    for (auto item : juce::StringArray::fromTokens (text, ",", {}))
    {
        item = item.trim();

        if (item.isEmpty())
            continue;
        if (item == "fast")
        {
            pauses = shortPauses();
            continue;
        }
        if (item == "real")
        {
            pauses = {};
            continue;
        }

        const auto key = item.upToFirstOccurrenceOf ("=", false, false).trim();
        const auto value = item.fromFirstOccurrenceOf ("=", false, false).trim();

        if (!item.contains ("=") || value.isEmpty() || !value.containsOnly ("0123456789") ||
            value.length() > 7)
            refuse ("\"" + item + "\" is not fast, real or KEY=milliseconds");

        auto* pause = pauseNamed (pauses, key);
        if (pause == nullptr)
            refuse ("unknown setting \"" + key + "\"");

        *pause = value.getIntValue();
    }

    return pauses;
}
} // namespace

downloader::Pacing pacingOfThisBuild()
{
    return pausesFromEnvironment().pacing;
}

midi::Timing timingOfThisBuild()
{
    return pausesFromEnvironment().timing;
}

} // namespace app
