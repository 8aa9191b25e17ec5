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
    const auto probeWaitMs = static_cast<double> (midi::Timing().probeWaitMs);
    std::vector<double> shown, painted, named, nameShown;

    for (int i = 0; i < runs; ++i)
    {
        InstanceGuard::waitUntilFree (300000.0);

        const juce::TemporaryFile times;
        ChildProcess child ({ChildProcess::ownPath(), "--child", "startup", "--out",
                             times.getFile().getFullPathName().toStdString()});
        const auto outcome = child.wait (30000.0);
        auto t = readTimes (times.getFile());

        auto since = [&] (const char* key) { return t[key].getDoubleValue() - child.getStartMs(); };

        if (outcome.exitCode != 0 || t["device-painted"].getDoubleValue() <= 0.0)
        {
            Figure::printFailure ("startup", "run " + juce::String (i + 1) + " ended with " +
                                                 juce::String (outcome.exitCode) + " and device line \"" +
                                                 t["device-text"] +
                                                 "\" (another updater running? no display?)");
            return false;
        }

        shown.push_back (since ("window-shown"));
        painted.push_back (since ("window-painted"));
        nameShown.push_back (since ("device-painted"));
        // Noted by a 1 ms timer, so possibly after the paint that showed it.
        named.push_back (juce::jmin (since ("device-named"), nameShown.back()));
    }

    const auto detail = [runs] (const std::vector<double>& values)
    {
        return "median of " + juce::String (runs) + " starts, first (coldest) " +
               juce::String (values.front(), 1) + " ms, largest " +
               juce::String (*std::max_element (values.begin(), values.end()), 1) + " ms";
    };

    const Figure figures[] = {
        Figure::measured ("startup.window-shown", median (shown), "ms", 1,
                          detail (shown) + "; built and shown"),
        Figure::withTarget ("startup.window-painted", median (painted), "ms", 1, windowTargetMs,
                            detail (painted)),
        Figure::measured ("startup.device-named", median (named), "ms", 1,
                          detail (named) + "; label text set"),
        Figure::withTarget ("startup.device-shown", median (nameShown), "ms", 1, windowTargetMs + probeWaitMs,
                            detail (nameShown) + "; one candidate pair, " + juce::String (probeWaitMs, 0) +
                                " ms probe wait"),
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
