// Closing the window in each state of the transfer: the process ends promptly (the
// thread's pauses end at the stop request, far from the forced kill after 2.5 s)
// with the exit code of that moment, and the MIDI ports are closed. CLOSE_AT picks
// the moment: start (right after the click, before the thread runs), wait, transfer,
// reconnect, verify (while the pedal's late revision answer is awaited), interrupt
// (the transfer ended by a keyboard break, SIGINT, instead of the window) or
// terminate (by SIGTERM, which must take the same orderly road). An interactive
// run reports nothing on standard error.
#include "AppHarness.h"

#include "tools/pedal/SimulatedSetup.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace app_testing;

namespace
{
/** The pedal for each moment, and the state the transfer must be in when the window closes. */
struct Moment
{
    juce::String pedalSettings;
    std::function<bool (Application&, const pedal::SimulatedPedal&)> reached;
    std::function<void (Application&)> close = closeWindow;
    Pauses pauses = {}; ///< the real ones, unless the moment needs no more than a transfer under way
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
    // A pedal that never comes back keeps reconnection going on and on.
    if (name == "wait")
        return {"restart-ms=never", progressBetween (0.0, 0.1)};
    if (name == "reconnect")
        return {"restart-ms=never", progressBetween (0.6, 1.0)};
    if (name == "verify")
        return {"revision=late:150", [] (Application&, const pedal::SimulatedPedal& pedal)
                { return pedal.getStatus().queries > 0; }};
    if (name == "interrupt")
        return {"restart-ms=never", progressBetween (0.1, 0.6), [] (Application&) { std::raise (SIGINT); }};
    if (name == "terminate")
        return {"restart-ms=never", progressBetween (0.1, 0.6), [] (Application&) { std::raise (SIGTERM); },
                Pauses::fast()};
    return {"restart-ms=never", progressBetween (0.1, 0.6)};
}
} // namespace

TEST (InteractiveRun, ClosingDuringTheTransferEndsPromptly)
{
    const auto name = juce::SystemStats::getEnvironmentVariable ("CLOSE_AT", "transfer");
    const auto moment = momentNamed (name);

    pedal::PedalConfig config;
    ASSERT_TRUE (config.apply (moment.pedalSettings).wasOk());
    auto setup = std::make_shared<pedal::SimulatedSetup> (config);

    auto closedAt = std::make_shared<juce::uint32> (0);
    auto close = [closedAt, moment] (Application& app)
    {
        *closedAt = juce::Time::getMillisecondCounter();
        moment.close (app);
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
        steps.push_back ({"transfer at the chosen moment",
                          [setup, moment] (Application& app)
                          { return moment.reached (app, setup->getPedal()); },
                          close, 60000});
    }

    const auto outcome = runApplication (
        {}, [setup] { return setup->makePorts(); }, std::move (steps), moment.pauses);
    const auto closing = juce::Time::getMillisecondCounter() - *closedAt;

    EXPECT_TRUE (outcome.failures.isEmpty()) << outcome.failures.joinIntoString ("\n");
    ASSERT_NE (*closedAt, 0u);
    EXPECT_TRUE (outcome.reachedShutdown);
    EXPECT_EQ (outcome.exitCode, 0) << "no result yet: the exit code of the moment is still 0";
    EXPECT_FALSE (outcome.statusText.contains ("Firmware upgrade")) << "the run ended before any result";
    EXPECT_LT (closing, 1000u) << "closing took " << closing << " ms";
    EXPECT_EQ (setup->getBus().getNumOpenPorts(), 0) << "the updater left MIDI ports open";
    EXPECT_TRUE (updaterErrorLines (outcome).isEmpty()) << outcome.errorLines.joinIntoString ("\n");

    const auto pedalState = setup->getPedal().getStatus();
    if (name == "start")
    {
        EXPECT_EQ (pedalState.packages, 0) << "nothing may be sent once the window has closed";
    }
    else if (name == "verify")
    {
        EXPECT_EQ (pedalState.queries, 1);
    }
}
