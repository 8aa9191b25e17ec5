// Every way out of an unattended run, through the application object with the
// simulated pedal and fast pauses: the exit code is 0 only when the pedal reported
// the image's revision, every other end writes exactly one line on standard error
// saying which end it was, and no MIDI port is left open. CASE picks the run.
#include "AppHarness.h"

#include "tools/pedal/SimulatedSetup.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace app_testing;

namespace
{
/** What stops the run while the image is being sent, if anything. */
enum class Stop
{
    nothing,
    closeWindow,
    sigint,
    sigterm
};

struct Case
{
    const char* name;
    const char* pedalSettings;
    Stop stop;
    int exitCode;
    const char* lineBeginning; ///< the updater's stderr line; none for a success
};

// The lines are the updater's fixed texts for each end; the pedal's settings pick
// the end (see tools/pedal/PedalConfig.h).
const Case cases[] = {
    {"update_succeeds", "restart-ms=100", Stop::nothing, 0, nullptr},
    {"pedal_silent", "ack=none", Stop::nothing, -1, "no pedal found: "},
    {"pedal_never_returns", "restart-ms=never", Stop::nothing, -1,
     "the pedal did not come back after the transfer: "},
    {"revision_unanswered", "restart-ms=100,revision=none", Stop::nothing, -1,
     "the pedal did not answer the revision question after the transfer: "},
    {"wrong_revision", "restart-ms=100,revision=wrong:1187", Stop::nothing, -1,
     "the pedal reported revision 1187 instead of 1222: "},
    {"window_closed", "restart-ms=never", Stop::closeWindow, -1,
     "stopped before a result (the window was closed): "},
    {"interrupted", "restart-ms=never", Stop::sigint, -1, "stopped before a result (SIGINT): "},
    {"terminated", "restart-ms=never", Stop::sigterm, -1, "stopped before a result (SIGTERM): "},
};

const Case& caseNamed (const juce::String& name)
{
    for (const auto& c : cases)
        if (name == c.name)
            return c;
    return cases[0];
}
} // namespace

TEST (UnattendedRun, EndsWithAnHonestExitCodeAndOneLineSayingWhy)
{
    const auto& run = caseNamed (juce::SystemStats::getEnvironmentVariable ("CASE", {}));
    SCOPED_TRACE (run.name);

    pedal::PedalConfig config;
    ASSERT_TRUE (config.apply (run.pedalSettings).wasOk());
    auto setup = std::make_shared<pedal::SimulatedSetup> (config);

    std::vector<Step> steps;
    if (run.stop != Stop::nothing)
    {
        steps.push_back ({"the image on its way",
                          [] (Application& app) { return panel (app).getProgressValue() > 0.2; },
                          [stop = run.stop] (Application& app)
                          {
                              if (stop == Stop::closeWindow)
                                  closeWindow (app);
                              else
                                  std::raise (stop == Stop::sigint ? SIGINT : SIGTERM);
                          }});
    }

    const auto started = juce::Time::getMillisecondCounter();
    const auto outcome = runApplication (
        "--autoupdate", [setup] { return setup->makePorts(); }, std::move (steps), Pauses::fast());
    const auto elapsed = juce::Time::getMillisecondCounter() - started;

    EXPECT_TRUE (outcome.failures.isEmpty()) << outcome.failures.joinIntoString ("\n");
    EXPECT_TRUE (outcome.reachedShutdown);
    EXPECT_EQ (outcome.exitCode, run.exitCode);

    // Never a success that the pedal itself did not go through. (A pedal that took the
    // image but answers the revision question wrongly, or not at all, is a failure:
    // the updater cannot know.)
    const auto pedalState = setup->getPedal().getStatus();
    const bool updated = pedalState.check == pedal::SimulatedPedal::CheckOutcome::passed &&
                         pedalState.revision == 1222 && pedalState.queries > 0;
    EXPECT_TRUE (outcome.exitCode != 0 || updated);

    const auto lines = updaterErrorLines (outcome);
    if (run.lineBeginning == nullptr)
    {
        EXPECT_TRUE (lines.isEmpty()) << lines.joinIntoString ("\n");
    }
    else
    {
        ASSERT_EQ (lines.size(), 1) << outcome.errorLines.joinIntoString ("\n");
        EXPECT_TRUE (lines[0].startsWith (run.lineBeginning)) << lines[0];
        // Each line ends with what to do next.
        EXPECT_TRUE (lines[0].contains ("run the update again")) << lines[0];
    }

    EXPECT_EQ (setup->getBus().getNumOpenPorts(), 0) << "the updater left MIDI ports open";
    EXPECT_LT (elapsed, 5000u);
}
