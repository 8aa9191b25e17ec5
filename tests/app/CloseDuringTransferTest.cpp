// Closing the window in each state of the transfer: the process ends promptly with
// the exit code of that moment, and the MIDI ports are closed. CLOSE_AT picks the
// moment: start (right after the click, before the thread runs), wait, transfer,
// reconnect, verify (while the pedal holds back its revision answer), interrupt (the
// transfer ended by a keyboard break, SIGINT, instead of the window) or terminate (by
// SIGTERM, which must take the same orderly road). An interactive run reports
// nothing on standard error.
//
// The run gets there with short pauses, but the pause it is closed in lasts 10 s:
// one that did not end at the stop request would keep the process until the forced
// kill of the transfer thread after 2.5 s, far beyond the bound, while a sound close
// takes the 200 ms pause of the shutdown and the teardown.
#include "AppHarness.h"

#include "tools/pedal/SimulatedSetup.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace app_testing;

namespace
{
constexpr int longPauseMs = 10000;

/** The pedal for each moment, the state the transfer must be in when the window
    closes, and the pauses that make the run stand in that state. */
struct Moment
{
    juce::String pedalSettings;
    std::function<bool (Application&, const pedal::SimulatedPedal&)> reached;
    std::function<void (Application&)> close = closeWindow;
    Pauses pauses = app::Pauses::fast();

    /** What the pedal has received when the run ends, for nothing goes out after the
        close: in the pause after the first block, the first package and that block. */
    int packages = 2;
    int queries = 0;
};

/** True while the bar is strictly inside a state's band of progress. */
auto progressBetween (double from, double to)
{
    return [from, to] (Application& app, const pedal::SimulatedPedal&)
    {
        const auto p = panel (app).getProgressValue();
        return p > from + 0.001 && p < to;
    };
}

Moment momentNamed (const juce::String& name)
{
    // A pedal that never comes back keeps reconnection going on.
    Moment moment{"restart-ms=never", progressBetween (0.1, 0.6)};

    if (name == "start")
    {
        moment.packages = 0;
    }
    else if (name == "wait")
    {
        moment.reached = progressBetween (0.0, 0.1);
        moment.pauses.pacing.waitStepMs = longPauseMs;
        moment.packages = 1;
    }
    else if (name == "reconnect")
    {
        // The last package leaves the bar at 0.6; a pause later the search pauses.
        moment.reached = [] (Application& app, const pedal::SimulatedPedal&)
        { return panel (app).getProgressValue() >= 0.6; };
        moment.pauses.pacing.reconnectPauseMs = longPauseMs;
        moment.packages = 492;
    }
    else if (name == "verify")
    {
        moment.pedalSettings = "restart-ms=100";
        moment.reached = [] (Application&, const pedal::SimulatedPedal& pedal)
        { return pedal.getStatus().queries > 0; };
        moment.pauses.timing.pollPauseMs = longPauseMs;
        moment.packages = 492;
        moment.queries = 1;
    }
    else
    {
        // transfer, interrupt, terminate: between two packages.
        moment.pauses.pacing.interactiveGapMs = longPauseMs;
        if (name == "interrupt")
            moment.close = [] (Application&) { std::raise (SIGINT); };
        if (name == "terminate")
            moment.close = [] (Application&) { std::raise (SIGTERM); };
    }
    return moment;
}
} // namespace

TEST (InteractiveRun, ClosingDuringTheTransferEndsPromptly)
{
    const auto name = juce::SystemStats::getEnvironmentVariable ("CLOSE_AT", "transfer");
    const auto moment = momentNamed (name);

    pedal::PedalConfig config;
    ASSERT_TRUE (config.apply (moment.pedalSettings).wasOk());
    auto setup = std::make_shared<pedal::SimulatedSetup> (config);

    // The answer to the revision question comes only after the close, so the run
    // cannot end with a result before it.
    if (name == "verify")
        setup->getPedal().holdRevisionAnswers (true);

    auto closedAt = std::make_shared<juce::uint32> (0);
    auto close = [closedAt, moment, setup] (Application& app)
    {
        *closedAt = juce::Time::getMillisecondCounter();
        moment.close (app);
        setup->getPedal().holdRevisionAnswers (false);
    };

    std::vector<Step> steps;

    if (name == "start")
    {
        // The click and the close in one go: the downloader is still collecting the
        // image from the model when the quit request comes.
        steps.push_back ({"pedal found",
                          [] (Application& app) { return panel (app).getUpdateButton().isEnabled(); },
                          [close] (Application& app)
                          {
                              clickUpdate (app);
                              close (app);
                          }});
    }
    else
    {
        steps.push_back ({"pedal found",
                          [] (Application& app) { return panel (app).getUpdateButton().isEnabled(); },
                          [] (Application& app) { clickUpdate (app); }});
        steps.push_back (
            {"transfer at the chosen moment",
             [setup, moment] (Application& app) { return moment.reached (app, setup->getPedal()); }, close});
    }

    const auto outcome = runApplication (
        {}, [setup] { return setup->makePorts(); }, std::move (steps), moment.pauses);
    const auto closing = juce::Time::getMillisecondCounter() - *closedAt;

    EXPECT_TRUE (outcome.failures.isEmpty()) << outcome.failures.joinIntoString ("\n");
    ASSERT_NE (*closedAt, 0u);
    EXPECT_TRUE (outcome.reachedShutdown);
    EXPECT_EQ (outcome.exitCode, 0) << "no result yet: the exit code of the moment is still 0";
    EXPECT_FALSE (outcome.statusText.contains ("Firmware upgrade")) << "the run ended before any result";
    EXPECT_LT (closing, 2000u) << "closing took " << closing << " ms";
    EXPECT_EQ (setup->getBus().getNumOpenPorts(), 0) << "the updater left MIDI ports open";
    EXPECT_TRUE (updaterErrorLines (outcome).isEmpty()) << outcome.errorLines.joinIntoString ("\n");

    const auto pedalState = setup->getPedal().getStatus();
    EXPECT_EQ (pedalState.packages, moment.packages) << "nothing may be sent once the window has closed";
    EXPECT_EQ (pedalState.queries, moment.queries);
}
