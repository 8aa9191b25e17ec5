#include "bench/DemoBench.h"

#include "bench/ChildProcess.h"
#include "bench/Figure.h"
#include "bench/InstanceGuard.h"
#include "bench/TransferBench.h"
#include "downloader/Pacing.h"

namespace bench
{

namespace
{
/** "Downloader 0.19 % (25/s), JUCE Timer 1.13 % (300/s), ...": each thread's share and how
    often it was put on a CPU per second. */
juce::String describeThreads (const ChildProcess::Outcome::CpuShare& share)
{
    juce::StringArray threads;
    for (const auto& [name, threadShare] : share.threads)
    {
        const auto runs = share.runsPerSecond.find (name);
        threads.add (juce::String (name) + " " + juce::String (100.0 * threadShare, 2) + " %" +
                     (runs != share.runsPerSecond.end()
                          ? " (" + juce::String (juce::roundToInt (runs->second)) + "/s)"
                          : ""));
    }
    return threads.joinIntoString (", ");
}

/** The pedal's report file as key/value pairs. */
juce::StringPairArray readReport (const juce::File& file)
{
    juce::StringPairArray report;
    juce::StringArray lines;
    lines.addLines (file.loadFileAsString());

    for (const auto& line : lines)
        report.set (line.upToFirstOccurrenceOf ("=", false, false),
                    line.fromFirstOccurrenceOf ("=", false, false));

    return report;
}

/** A share of one core the process took, with each thread's part in the detail. */
Figure cpuFigure (const char* name, const ChildProcess::Outcome::CpuShare& share, const juce::String& detail)
{
    Figure figure;
    figure.name = name;
    figure.value = 100.0 * share.process;
    figure.unit = "% of one core";
    figure.decimals = 2;
    figure.detail = detail + "; by thread: " + describeThreads (share);
    return figure;
}

/** The demo with its window open and nothing to do: what the framework costs by itself. */
bool measureIdle (const std::string& demoPath)
{
    // A pedal in normal operation: found, but no update to start.
    InstanceGuard::waitUntilFree (300000.0);
    ChildProcess demo ({demoPath}, {"PEDAL_SIM=mode=normal"});
    const auto outcome = demo.wait (12000.0); // ended by force: it would wait for the user

    const auto share = outcome.cpuShareBetween (2000.0, 11500.0);
    if (!share.has_value())
    {
        Figure::printFailure ("demo.cpu-idle", "the demo did not stay up (another updater running?)");
        return false;
    }

    auto idle = cpuFigure ("demo.cpu-idle", *share, "window open, pedal found, no update");
    idle.atMost = DemoBench::idleTargetPercent;
    idle.print();
    return idle.meetsTarget();
}

/** An empty window of the same size: the part of the figures above that is the
    framework's alone (its repaint timer, the display connection). */
void measureBareWindow()
{
    constexpr int seconds = 12;

    ChildProcess probe (
        {ChildProcess::ownPath(), "--child", "bare-window", "--runs", std::to_string (seconds)});
    const auto outcome = probe.wait (60000.0);
    const auto share = outcome.cpuShareBetween (2000.0, outcome.wallMs - 1000.0);

    if (outcome.exitCode != 0 || !share.has_value())
    {
        Figure::printFailure ("window.cpu-idle-floor", "the empty window did not stay up (no display?)");
        return;
    }

    cpuFigure ("window.cpu-idle-floor", *share,
               "an empty juce::DocumentWindow of the updater's size, nothing else")
        .print();
}

/** The window after an unattended update, kept open: the finished bar and the result. */
bool measureIdleAfterUpdate()
{
    constexpr int idleSeconds = 12;

    InstanceGuard::waitUntilFree (300000.0);
    ChildProcess probe (
        {ChildProcess::ownPath(), "--child", "idle-after", "--runs", std::to_string (idleSeconds)});
    const auto outcome = probe.wait (120000.0);

    // The last 12 s are the idle span; its first and last second are left out.
    const auto share =
        outcome.cpuShareBetween (outcome.wallMs - (idleSeconds - 1) * 1000.0, outcome.wallMs - 1000.0);
    if (outcome.exitCode != 0 || outcome.wallMs < idleSeconds * 1000.0 || !share.has_value())
    {
        Figure::printFailure ("demo.cpu-idle-after-update", "the update ended with " +
                                                                juce::String (outcome.exitCode) +
                                                                " (another updater running? no display?)");
        return false;
    }

    auto idle = cpuFigure ("demo.cpu-idle-after-update", *share,
                           "the application with the demo's pedal, window left open after an unattended "
                           "update succeeded");
    idle.atMost = DemoBench::idleTargetPercent;
    idle.print();
    return idle.meetsTarget();
}
} // namespace

bool DemoBench::run (const std::string& demoPath)
{
    const juce::TemporaryFile pedalReport;

    InstanceGuard::waitUntilFree (300000.0);
    ChildProcess demo ({demoPath, "--autoupdate"},
                       {std::string ("PEDAL_SIM=") + TransferBench::pedalSettings,
                        "PEDAL_SIM_REPORT=" + pedalReport.getFile().getFullPathName().toStdString()});

    if (!demo.isStarted())
    {
        Figure::printFailure ("demo", "cannot start " + juce::String (demoPath));
        return false;
    }

    const auto outcome = demo.wait (120000.0);

    auto report = readReport (pedalReport.getFile());

    // An exit code of 0 without a pedal that took the image is a start refused by the
    // single-instance guard, not an update.
    if (outcome.timedOut || outcome.exitCode != 0 || report["revision"] != "1222")
    {
        Figure::printFailure ("demo", "the demo's update ended with " + juce::String (outcome.exitCode) +
                                          (outcome.timedOut ? " (ended by force after 120 s)" : "") +
                                          " (another updater running? no display?)");
        return false;
    }

    Figure peak;
    peak.name = "memory.peak-rss";
    peak.value = static_cast<double> (outcome.lastVmHwmKb) / 1024.0;
    peak.unit = "MB";
    peak.atMost = peakTargetMb;
    peak.detail = "VmHWM of firmware-updater-demo --autoupdate near its end; the kernel's peak at exit " +
                  juce::String (static_cast<double> (outcome.maxRssKb) / 1024.0, 1) + " MB";
    peak.print();

    Figure whole;
    whole.name = "demo.cpu-whole-run";
    whole.value = 100.0 * outcome.cpuMs / outcome.wallMs;
    whole.unit = "% of one core";
    whole.decimals = 2;
    whole.detail = juce::String (outcome.cpuMs, 0) + " ms CPU over " +
                   juce::String (outcome.wallMs / 1000.0, 1) +
                   " s from start to exit: start-up, window painting and the simulated pedal included";
    whole.print();

    bool allMet = peak.meetsTarget();

    // The transfer runs from the found pedal (about 0.4 s after the start) until just
    // before the exit; a second in from each end lies well inside it.
    if (const auto share = outcome.cpuShareBetween (1000.0, outcome.wallMs - 1000.0))
    {
        Figure cpu;
        cpu.name = "demo.cpu-during-transfer";
        cpu.value = 100.0 * share->process;
        cpu.unit = "% of one core";
        cpu.decimals = 2;
        cpu.atMost = transferTargetPercent;
        cpu.detail = "from the scheduler's account in /proc, 1 s after the start to 1 s before the exit; "
                     "by thread: " +
                     describeThreads (*share);
        cpu.print();
        allMet = allMet && cpu.meetsTarget();
    }

    // What the demo's own pedal saw, with the window painting on the message thread.
    const double gapMs = downloader::Pacing().autoUpdateGapMs;

    Figure gaps;
    gaps.name = "demo.gap-p99-deviation";
    gaps.value = report["gap-p99-ms"].getDoubleValue() - gapMs;
    gaps.unit = "ms";
    gaps.decimals = 3;
    gaps.atMost = 2.0;
    gaps.detail = report["block-gaps"] + " gaps between blocks, median " + report["gap-median-ms"] +
                  " ms, largest " + report["gap-max-ms"] + " ms";
    gaps.print();

    allMet = measureIdle (demoPath) && allMet;
    allMet = measureIdleAfterUpdate() && allMet;
    measureBareWindow();
    return allMet && gaps.meetsTarget();
}

} // namespace bench
