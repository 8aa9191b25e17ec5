#include "app/ExecutableBuild.h"

#include "tools/pedal/SimulatedSetup.h"

#include <utility>

namespace app
{

namespace
{
/** Writes the simulated pedal's final state to `reportFile` (a second pedal's lines after the
    first's, each key marked "second."), so that scripts can check what the pedal received. */
void writeReport (const pedal::SimulatedSetup& setup, const juce::String& reportFile)
{
    auto text = setup.getPedal().report();
    if (setup.getNumPedals() > 1)
        for (const auto& line : juce::StringArray::fromLines (setup.getPedal (1).report().trimEnd()))
            text << "second." << line << "\n";

    juce::File (reportFile).replaceWithText (text, false, false, "\n");
}

/** The pause a KEY=milliseconds item sets; null for an unknown key. */
int* pauseNamed (Pauses& pauses, const juce::String& key)
{
    auto& pacing = pauses.pacing;
    auto& timing = pauses.timing;
    const std::pair<const char*, int*> named[] = {
        {"wait-rounds", &pacing.waitRounds},        {"wait-step-ms", &pacing.waitStepMs},
        {"gap-ms", &pacing.interactiveGapMs},       {"autoupdate-gap-ms", &pacing.autoUpdateGapMs},
        {"reconnect-ms", &pacing.reconnectPauseMs}, {"probe-wait-ms", &timing.probeWaitMs},
        {"poll-ms", &timing.pollPauseMs},
    };

    for (const auto& [name, pause] : named)
        if (key == name)
            return pause;
    return nullptr;
}

/**
    Applies a DEMO_PAUSES text to `pauses`: comma-separated items, from left to right,

        fast                  Pauses::fast() (app/ExecutableBuild.h): a whole update in
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

    Fails on the first item it cannot use, naming it.
*/
juce::Result applyPauses (const juce::String& text, Pauses& pauses)
{
    for (auto item : juce::StringArray::fromTokens (text, ",", {}))
    {
        item = item.trim();

        if (item.isEmpty())
            continue;
        if (item == "fast")
        {
            pauses = Pauses::fast();
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
            return juce::Result::fail ("\"" + item + "\" is not fast, real or KEY=milliseconds");

        auto* pause = pauseNamed (pauses, key);
        if (pause == nullptr)
            return juce::Result::fail ("unknown setting \"" + key + "\"");

        *pause = value.getIntValue();
    }

    return juce::Result::ok();
}
} // namespace

// firmware-updater-demo: the same application talking to a simulated pedal inside the
// process (PEDAL_SIM and its companions, tools/pedal/PedalConfig.h; PEDAL_SIM_REPORT
// names the file for the pedal's report), with the real pauses or those DEMO_PAUSES
// asks for.
ExecutableBuild ExecutableBuild::ofThisExecutable()
{
    ExecutableBuild build;

    pedal::PedalConfig config;
    const auto pedalSettings = config.applyEnvironment(); // its message names the variable
    const auto pauseSettings =
        applyPauses (juce::SystemStats::getEnvironmentVariable ("DEMO_PAUSES", {}), build.pauses);

    if (pedalSettings.failed())
        build.settingsProblem = pedalSettings.getErrorMessage();
    else if (pauseSettings.failed())
        build.settingsProblem = "DEMO_PAUSES: " + pauseSettings.getErrorMessage();

    // A simulated pedal inside the process; when PEDAL_SIM_REPORT names a file, the pedal's
    // report is written there as the ports are released at exit.
    build.createPorts = [config, reportFile = juce::SystemStats::getEnvironmentVariable (
                                     "PEDAL_SIM_REPORT", {})]() -> std::unique_ptr<midi::PortLayer>
    {
        auto setup = std::make_shared<pedal::SimulatedSetup> (config);
        return setup->makePorts (
            [setup, reportFile]
            {
                if (reportFile.isNotEmpty())
                    writeReport (*setup, reportFile);
            });
    };
    return build;
}

} // namespace app
