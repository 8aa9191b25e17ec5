#include "bench/MemoryBench.h"

#include "bench/ChildProcess.h"
#include "bench/Figure.h"
#include "bench/TransferBench.h"
#include "downloader/Pacing.h"

namespace bench
{

bool MemoryBench::run (const std::string& demoPath)
{
    const juce::TemporaryFile pedalReport;

    ChildProcess demo ({demoPath, "--autoupdate"},
                       {std::string ("PEDAL_SIM=") + TransferBench::pedalSettings,
                        "PEDAL_SIM_REPORT=" + pedalReport.getFile().getFullPathName().toStdString()});

    if (!demo.isStarted())
    {
        Figure::printFailure ("memory", "cannot start " + juce::String (demoPath));
        return false;
    }

    const auto outcome = demo.wait (120000.0);

    if (outcome.timedOut || outcome.exitCode != 0)
    {
        Figure::printFailure ("memory", "the demo's update ended with " + juce::String (outcome.exitCode) +
                                            (outcome.timedOut ? " (ended by force after 120 s)" : "") +
                                            " (another updater running? no display?)");
        return false;
    }

    const Figure peak{"memory.peak-rss",
                      static_cast<double> (outcome.lastVmHwmKb) / 1024.0,
                      "MB",
                      1,
                      peakTargetMb,
                      "VmHWM of firmware-updater-demo --autoupdate near its end; the kernel's peak at exit " +
                          juce::String (static_cast<double> (outcome.maxRssKb) / 1024.0, 1) + " MB"};
    peak.print();

    Figure{"demo.cpu-whole-run",
           100.0 * outcome.cpuMs / outcome.wallMs,
           "% of one core",
           2,
           {},
           juce::String (outcome.cpuMs, 0) + " ms CPU over " + juce::String (outcome.wallMs / 1000.0, 1) +
               " s from start to exit: start-up, window painting and the simulated pedal included"}
        .print();

    // The transfer runs from the found pedal (about 0.4 s after the start) until just
    // before the exit; a second in from each end lies well inside it.
    if (const auto share = outcome.cpuShareBetween (1000.0, outcome.wallMs - 1000.0))
    {
        juce::StringArray threads;
        for (const auto& [name, threadShare] : share->threads)
            threads.add (juce::String (name) + " " + juce::String (100.0 * threadShare, 2) + " %");

        Figure{"demo.cpu-during-transfer",
               100.0 * share->process,
               "% of one core",
               2,
               2.0,
               "from /proc, 10 ms ticks, 1 s after the start to 1 s before the exit, by thread: " +
                   threads.joinIntoString (", ")}
            .print();
    }

    // What the demo's own pedal saw, with the window painting on the message thread.
    juce::StringPairArray report;
    juce::StringArray lines;
    lines.addLines (pedalReport.getFile().loadFileAsString());
    for (const auto& line : lines)
        report.set (line.upToFirstOccurrenceOf ("=", false, false),
                    line.fromFirstOccurrenceOf ("=", false, false));

    const double gapMs = downloader::Pacing().autoUpdateGapMs;
    Figure{"demo.gap-p99-deviation",
           report["gap-p99-ms"].getDoubleValue() - gapMs,
           "ms",
           3,
           2.0,
           report["block-gaps"] + " gaps between blocks, median " + report["gap-median-ms"] +
               " ms, largest " + report["gap-max-ms"] + " ms"}
        .print();

    return peak.meetsTarget();
}

} // namespace bench
