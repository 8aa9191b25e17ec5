// updater-bench: measures the updater's pacing, CPU share, memory and start-up
// against the simulated pedal and prints one figure a line (docs/benchmarks.md).
#include "bench/BareWindowProbe.h"
#include "bench/ChildProcess.h"
#include "bench/DemoBench.h"
#include "bench/FindDeviceBench.h"
#include "bench/IdleAfterUpdateProbe.h"
#include "bench/StartupBench.h"
#include "bench/StartupProbe.h"
#include "bench/TransferBench.h"

#include <cstdlib>
#include <iostream>
#include <juce_core/juce_core.h>

namespace
{
const char* const usage = R"(usage: updater-bench [FIGURE...] [--demo PATH] [--runs N]

Figures (all of them when none is named; the whole run takes about 2 minutes):
  auto         unattended transfer: duration over its pacing floor, block gaps, CPU (~25 s)
  interactive  interactive transfer: the same with the 20 s wait and 50 ms pauses (~50 s)
  find         the pedal search with 1, 8 and 32 silent port pairs before the pedal and
               as many after it (~5 s)
  startup      process start to window and to the found pedal on screen, with 0, 1 and
               32 silent port pairs before the pedal and as many after it (needs a
               display, ~70 s)
  demo         the demo build (window included): peak resident memory through an update,
               CPU during the transfer, idle before and after an update, block gaps
               (needs a display, ~75 s)

  --demo PATH  the demo build for "demo" (default: firmware-updater-demo beside this program)
  --runs N     starts for "startup", searches per count for "find" (default 5)

Run under xvfb-run -a -s "-screen 0 1024x768x24" when there is no display.
Exit code: 0 when every figure met its target, 1 otherwise.
)";

/** Runs a figure in a fresh process of this program, so that its process-wide
    figures (CPU, threads, the framework's state) belong to that figure alone. */
bool runInChild (const juce::String& figure, int runs)
{
    bench::ChildProcess child (
        {bench::ChildProcess::ownPath(), "--child", figure.toStdString(), "--runs", std::to_string (runs)});
    const auto outcome = child.wait (600000.0);
    return outcome.exitCode == 0;
}

/** Where the figures come from: they mean little without it. */
void printMachine()
{
    const auto load =
        juce::File ("/proc/loadavg").loadFileAsString().upToFirstOccurrenceOf (" ", false, false);
    std::cout << "# machine: " << juce::SystemStats::getNumCpus() << " CPUs ("
              << juce::SystemStats::getCpuModel() << "), load " << load << " at the start, "
              << juce::SystemStats::getOperatingSystemName() << std::endl;
}

int runChild (const juce::StringArray& args)
{
    const auto figure = args[args.indexOf ("--child") + 1];
    const int runs = juce::jmax (1, args[args.indexOf ("--runs") + 1].getIntValue());

    if (figure == "auto" || figure == "interactive")
        return bench::TransferBench::run (figure == "interactive") ? 0 : 1;
    if (figure == "find")
        return bench::FindDeviceBench::run (runs) ? 0 : 1;
    if (figure == "bare-window")
        return bench::BareWindowProbe::run (runs);
    if (figure == "idle-after")
        return bench::IdleAfterUpdateProbe::run (runs);
    if (figure == "startup")
        return bench::StartupProbe::run (juce::File (args[args.indexOf ("--out") + 1]),
                                         args[args.indexOf ("--silent-pairs") + 1].getIntValue());
    return 2;
}
} // namespace

int main (int argc, char* argv[])
{
    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (argv[i]);

    if (args.contains ("--child"))
        return runChild (args);

    if (args.contains ("--help") || args.contains ("-h"))
    {
        std::cout << usage;
        return 0;
    }

    const juce::StringArray known{"auto", "interactive", "find", "startup", "demo"};
    juce::StringArray figures;
    int runs = 5;
    std::string demo = juce::File (bench::ChildProcess::ownPath())
                           .getSiblingFile ("firmware-updater-demo")
                           .getFullPathName()
                           .toStdString();

    for (int i = 0; i < args.size(); ++i)
    {
        if (args[i] == "--demo" && i + 1 < args.size())
            demo = args[++i].toStdString();
        else if (args[i] == "--runs" && i + 1 < args.size())
            runs = juce::jmax (1, args[++i].getIntValue());
        else if (known.contains (args[i]))
            figures.addIfNotAlreadyThere (args[i]);
        else
        {
            std::cerr << "updater-bench: unknown argument \"" << args[i] << "\"\n" << usage;
            return 2;
        }
    }

    if (figures.isEmpty())
        figures = known;

    printMachine();
    const bool display = std::getenv ("DISPLAY") != nullptr;
    bool allMet = true;

    for (const auto& figure : figures)
    {
        if ((figure == "startup" || figure == "demo") && !display)
        {
            std::cout << figure << " = n/a  [SKIPPED: no display; run under xvfb-run]" << std::endl;
            allMet = false;
            continue;
        }

        if (figure == "demo")
            allMet = bench::DemoBench::run (demo) && allMet;
        else if (figure == "startup")
            allMet = bench::StartupBench::run (runs) && allMet;
        else
            allMet = runInChild (figure, runs) && allMet;
    }

    return allMet ? 0 : 1;
}
