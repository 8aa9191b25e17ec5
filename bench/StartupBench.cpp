#include "bench/StartupBench.h"

#include "bench/ChildProcess.h"
#include "bench/Figure.h"
#include "bench/InstanceGuard.h"
#include "midi/Timing.h"

#include <algorithm>
#include <map>
#include <vector>

namespace bench
{

namespace
{
/** The "name value" lines the probe wrote. */
std::map<juce::String, juce::String> readTimes (const juce::File& file)
{
    std::map<juce::String, juce::String> times;
    juce::StringArray lines;
    lines.addLines (file.loadFileAsString());

    for (const auto& line : lines)
        if (line.containsChar (' '))
            times[line.upToFirstOccurrenceOf (" ", false, false)] =
                line.fromFirstOccurrenceOf (" ", false, false);

    return times;
}

double median (std::vector<double> values)
{
    std::sort (values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace

bool StartupBench::run (int runs)
{
    bool allMet = true;

    for (const int silentPairs : {0, 1, 32})
        allMet = runWithSilentPairs (silentPairs, runs) && allMet;

    return allMet;
}

bool StartupBench::runWithSilentPairs (int silentPairs, int runs)
{
    const auto prefix = "startup." + juce::String (silentPairs) + "-silent.";
    std::vector<double> shown, painted, named, nameShown, afterSearch;

    for (int i = 0; i < runs; ++i)
    {
        InstanceGuard::waitUntilFree (300000.0);

        const juce::TemporaryFile times;
        ChildProcess child ({ChildProcess::ownPath(), "--child", "startup", "--out",
                             times.getFile().getFullPathName().toStdString(), "--silent-pairs",
                             std::to_string (silentPairs)});
        const auto outcome = child.wait (60000.0);
        auto t = readTimes (times.getFile());

        auto since = [&] (const char* key) { return t[key].getDoubleValue() - child.getStartMs(); };

        if (outcome.exitCode != 0 || t["device-painted"].getDoubleValue() <= 0.0)
        {
            Figure::printFailure (prefix + "device-shown", "run " + juce::String (i + 1) + " ended with " +
                                                               juce::String (outcome.exitCode) +
                                                               " and device line \"" + t["device-text"] +
                                                               "\" (another updater running? no display?)");
            return false;
        }

        shown.push_back (since ("window-shown"));
        painted.push_back (since ("window-painted"));
        nameShown.push_back (since ("device-painted"));
        // Noted by a 1 ms timer, so possibly after the paint that showed it.
        named.push_back (juce::jmin (since ("device-named"), nameShown.back()));
        afterSearch.push_back (t["device-painted"].getDoubleValue() - t["search-ended"].getDoubleValue());
    }

    const auto detail = [runs] (const std::vector<double>& values)
    {
        return "median of " + juce::String (runs) + " starts, first (coldest) " +
               juce::String (values.front(), 1) + " ms, largest " +
               juce::String (*std::max_element (values.begin(), values.end()), 1) + " ms";
    };

    const auto probeWaitMs = midi::Timing().probeWaitMs;
    const auto pairs = juce::String (2 * silentPairs + 1) + " candidate pair" + (silentPairs > 0 ? "s" : "") +
                       " (" + juce::String (silentPairs) + " silent before the pedal, " +
                       juce::String (silentPairs) + " after), probed at once";

    const Figure figures[] = {
        Figure::measured (prefix + "window-shown", median (shown), "ms", 1,
                          detail (shown) + "; built and shown"),
        Figure::withTarget (prefix + "window-painted", median (painted), "ms", 1, windowTargetMs,
                            detail (painted)),
        Figure::measured (prefix + "device-named", median (named), "ms", 1,
                          detail (named) + "; label text set"),
        Figure::withTarget (prefix + "device-shown", median (nameShown), "ms", 1, deviceShownTargetMs,
                            detail (nameShown) + "; " + pairs + ", one " + juce::String (probeWaitMs) +
                                " ms probe wait and a second for late answers"),
        Figure::withTarget (
            prefix + "device-shown-after-search", median (afterSearch), "ms", 1, deviceAfterSearchTargetMs,
            "from the end of the search's second wait to the device line on screen; " + detail (afterSearch)),
    };

    bool allMet = true;
    for (const auto& figure : figures)
    {
        figure.print();
        allMet = allMet && figure.meetsTarget();
    }
    return allMet;
}

} // namespace bench
