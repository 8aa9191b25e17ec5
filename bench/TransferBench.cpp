#include "bench/TransferBench.h"

#include "bench/BenchView.h"
#include "bench/Clock.h"
#include "bench/Figure.h"
#include "bench/SleepProbe.h"
#include "bench/TimedPorts.h"
#include "controller/Controller.h"
#include "downloader/Downloader.h"
#include "firmware/FirmwareClass.h"
#include "midi/Midi.h"
#include "model/Model.h"
#include "tools/pedal/SimulatedSetup.h"

#include <juce_events/juce_events.h>

namespace bench
{

namespace
{
/** Ends the message loop when a run has taken far longer than it can. */
class Deadline final : private juce::Timer
{
public:
    explicit Deadline (int milliseconds) { startTimer (milliseconds); }
    bool hasPassed() const noexcept { return passed; }

private:
    void timerCallback() override
    {
        stopTimer();
        passed = true;
        juce::MessageManager::getInstance()->stopDispatchLoop();
    }

    bool passed = false;
};

/** The pauses a transfer is built to take: the pacing, the searches' pauses and probe
    waits, and the second wait of the search that heard the restarted pedal (it listens
    for a second pedal answering late). */
struct PacingFloor
{
    int waitPauses = 0, waitMs = 0;
    int gaps = 0, gapMs = 0;
    int searches = 0, reconnectMs = 0;
    int probes = 0, probeMs = 0;
    int secondWaits = 0;

    double withoutProbes() const
    {
        return static_cast<double> (waitPauses * waitMs + gaps * gapMs + searches * reconnectMs);
    }

    double total() const { return withoutProbes() + (probes + secondWaits) * probeMs; }

    juce::String describe() const
    {
        juce::String text;
        if (waitPauses > 0)
            text << waitPauses << " x " << waitMs << " + ";
        text << gaps << " x " << gapMs << " + " << searches << " x " << reconnectMs << " reconnection + "
             << probes << " x " << probeMs << " probe wait + " << secondWaits << " x " << probeMs
             << " second wait";
        return text;
    }
};
} // namespace

bool TransferBench::run (bool interactive)
{
    const juce::ScopedJuceInitialiser_GUI juceRunning;
    const juce::String prefix (interactive ? "interactive." : "auto.");

    pedal::PedalConfig config;
    config.apply (pedalSettings);
    pedal::SimulatedSetup setup (config);

    const downloader::Pacing pacing;
    const midi::Timing timing;
    auto log = std::make_shared<WireLog>();

    // Built and wired as the application does it, the window aside.
    midi::Midi transport (std::make_unique<TimedPorts> (setup.makePorts(), log), timing);
    FirmwareClass firmware;

    double closedMs = 0.0, closedCpuMs = 0.0;
    controller::Controller controller (
        [&]
        {
            closedMs = Clock::nowMs();
            closedCpuMs = Clock::processCpuMs();
            juce::MessageManager::getInstance()->stopDispatchLoop();
        });

    BenchView view (controller, interactive);
    model::Model model (&controller, &firmware);
    downloader::Downloader downloader (&controller, &transport, !interactive, pacing);

    controller.setModel (&model);
    controller.setView (&view);
    controller.setDownloader (&downloader);

    const int gapMs = interactive ? pacing.interactiveGapMs : pacing.autoUpdateGapMs;
    SleepProbe machine (gapMs);

    const Deadline deadline (180000);
    controller.start (interactive);
    juce::MessageManager::getInstance()->runDispatchLoop();

    const auto machineLateness = machine.stop();

    const auto wire = log->getSummary();
    const auto pedalState = setup.getPedal().getStatus();

    if (deadline.hasPassed() || view.getResultText() != "Firmware upgrade successful" ||
        !wire.firstPackageMs.has_value() || pedalState.revision != 1222)
    {
        Figure::printFailure (prefix + "transfer", "no successful update (result \"" + view.getResultText() +
                                                       "\", pedal revision " +
                                                       juce::String (pedalState.revision) + ")");
        return false;
    }

    //==============================================================================

    PacingFloor floor;
    floor.waitPauses = interactive ? pacing.waitRounds : 0;
    floor.waitMs = pacing.waitStepMs;
    floor.gaps = wire.blocksSent; // every package after the first: 490 blocks and the end marker
    floor.gaps += wire.endMarkerMs.has_value() ? 1 : 0;
    floor.gapMs = gapMs;
    floor.searches = wire.searchesAfterFirstPackage;
    floor.reconnectMs = pacing.reconnectPauseMs;
    floor.probes = wire.probesAfterFirstPackage;
    floor.probeMs = timing.probeWaitMs;
    floor.secondWaits = 1; // the search that found the restarted pedal

    const auto durationMs = closedMs - *wire.firstPackageMs;
    bool allMet = true;

    auto report = [&allMet] (const Figure& figure)
    {
        figure.print();
        allMet = allMet && figure.meetsTarget();
    };

    report (Figure::withTarget (
        prefix + "duration-over-floor", durationMs / floor.total(), {}, 4, 1.005,
        juce::String (durationMs, 1) + " ms from the first package to the result against " +
            juce::String (floor.total(), 0) + " ms = " + floor.describe() + "; " +
            juce::String (durationMs / floor.withoutProbes(), 4) + " without the probe wait"));

    const auto& gaps = pedalState.blockGaps;
    const auto largest = juce::jmax (gaps.maxMs - gapMs, gapMs - gaps.minMs);

    report (Figure::measured (
        prefix + "gap-median-deviation", gaps.medianMs - gapMs, "ms", 3,
        "median gap " + juce::String (gaps.medianMs, 3) + " ms; " + juce::String (gaps.count) +
            " gaps between blocks on arrival at the pedal, pause " + juce::String (gapMs) + " ms"));
    report (Figure::withTarget (prefix + "gap-p99-deviation", gaps.p99Ms - gapMs, "ms", 3, 2.0,
                                "99th percentile " + juce::String (gaps.p99Ms, 3) + " ms"));
    report (Figure::measured (prefix + "gap-largest-deviation", largest, "ms", 3,
                              "gaps from " + juce::String (gaps.minMs, 3) + " to " +
                                  juce::String (gaps.maxMs, 3) + " ms"));

    // The same pause slept by a bare thread meanwhile: how late this machine wakes anyone.
    report (Figure::measured (prefix + "machine-wake-p99-lateness", machineLateness.p99Ms, "ms", 3,
                              juce::String (machineLateness.count) + " bare " + juce::String (gapMs) +
                                  " ms sleeps beside the transfer: median " +
                                  juce::String (machineLateness.medianMs, 3) + " ms late, largest " +
                                  juce::String (machineLateness.maxMs, 3) + " ms"));

    const auto cpuMs = closedCpuMs - wire.cpuMsAtFirstPackage;
    report (Figure::withTarget (prefix + "cpu", 100.0 * cpuMs / durationMs, "% of one core", 2, 2.0,
                                juce::String (cpuMs, 1) +
                                    " ms CPU of the whole process (pedal simulation included) over " +
                                    juce::String (durationMs / 1000.0, 1) + " s"));

    report (Figure::measured (prefix + "collection", *wire.firstPackageMs - view.getStartMs(), "ms", 1,
                              "from the start of the update to the first package: 492 packages through the "
                              "controller"));

    return allMet;
}

} // namespace bench
