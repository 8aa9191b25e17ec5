// Every way out of an unattended run, through the application object with the
// simulated pedal and fast pauses: the exit code is 0 only when the pedal reported
// the image's revision, every other end writes exactly one line on standard error
// saying which end it was, and no MIDI port is left open. What the pedal must have
// received follows from the faults each case gives it, never from what the run did.
// CASE picks the run.
#include "AppHarness.h"

#include "tools/pedal/SimulatedSetup.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace app_testing;
using CheckOutcome = pedal::SimulatedPedal::CheckOutcome;

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

    int packages;       ///< firmware packages the pedal receives
    CheckOutcome check; ///< the pedal's own check of what it received
    int queries;        ///< revision questions it is asked

    /** The transport's real waits (probe, revision answer) instead of short ones. */
    bool realTransportTiming = false;

    /** Started with "-v" before "--autoupdate": still unattended, and each step on stderr. */
    bool verbose = false;
};

// The lines are the updater's fixed texts for each end; the pedal's settings pick
// the end (see tools/pedal/PedalConfig.h). A stopped run is stopped in the pause
// after the first block (made long for it), so the pedal has two packages by then.
const Case cases[] = {
    {"update_succeeds", "restart-ms=100", Stop::nothing, 0, nullptr, 492, CheckOutcome::passed, 1},
    {"pedal_silent", "ack=none", Stop::nothing, -1, "no pedal found: ", 0, CheckOutcome::notRun, 0},
    {"pedal_never_returns", "restart-ms=never", Stop::nothing, -1,
     "the pedal did not come back after the transfer: ", 492, CheckOutcome::passed, 0},
    // The answer comes 600 ms after the question: long after the 20 looks 10 ms
    // apart that the updater gives it.
    {"revision_unanswered", "restart-ms=100,revision=late:600", Stop::nothing, -1,
     "the pedal did not answer the revision question after the transfer: ", 492, CheckOutcome::passed, 1,
     true},
    {"wrong_revision", "restart-ms=100,revision=wrong:1187", Stop::nothing, -1,
     "the pedal reported revision 1187 instead of 1222: ", 492, CheckOutcome::passed, 1},
    {"window_closed", "restart-ms=never", Stop::closeWindow, -1,
     "stopped before a result (the window was closed): ", 2, CheckOutcome::notRun, 0},
    {"interrupted", "restart-ms=never", Stop::sigint, -1, "stopped before a result (SIGINT): ", 2,
     CheckOutcome::notRun, 0},
    {"terminated", "restart-ms=never", Stop::sigterm, -1, "stopped before a result (SIGTERM): ", 2,
     CheckOutcome::notRun, 0},
    // A second pedal, already at the image's revision, beside one in its boot loader:
    // neither gets the image, whatever the first would do with it.
    {"two_pedals", "start-revision=1222,second-pedal=normal,corrupt-block=5", Stop::nothing, -1,
     "more than one pedal is connected (2 answered), so nothing was sent: ", 0, CheckOutcome::notRun, 0},
    {"update_succeeds_verbose", "restart-ms=100", Stop::nothing, 0, nullptr, 492, CheckOutcome::passed, 1,
     false, true},
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
    const auto caseName = juce::SystemStats::getEnvironmentVariable ("CASE", {});
    const auto& run = caseNamed (caseName);
    SCOPED_TRACE (run.name);

    pedal::PedalConfig config;
    ASSERT_TRUE (config.apply (run.pedalSettings).wasOk());
    auto setup = std::make_shared<pedal::SimulatedSetup> (config);

    auto pauses = app::Pauses::fast();
    if (run.realTransportTiming)
        pauses.timing = {};

    std::vector<Step> steps;
    if (run.stop != Stop::nothing)
    {
        pauses.pacing.autoUpdateGapMs = 10000;
        steps.push_back ({"the image on its way",
                          [] (Application& app) { return panel (app).getProgressValue() > 0.1; },
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
        run.verbose ? "-v --autoupdate" : "--autoupdate", [setup] { return setup->makePorts(); },
        std::move (steps), pauses);
    const auto elapsed = juce::Time::getMillisecondCounter() - started;

    EXPECT_TRUE (outcome.failures.isEmpty()) << outcome.failures.joinIntoString ("\n");
    EXPECT_TRUE (outcome.reachedShutdown);
    EXPECT_EQ (outcome.exitCode, run.exitCode);

    const auto pedalState = setup->getPedal().getStatus();
    EXPECT_EQ (pedalState.packages, run.packages);
    EXPECT_EQ (pedalState.check, run.check) << pedalState.checkReason;
    EXPECT_EQ (pedalState.queries, run.queries);
    if (run.queries > 0)
    {
        // Back from its restart with the image it took, whatever it answers.
        EXPECT_EQ (pedalState.revision, 1222);
        EXPECT_EQ (pedalState.mode, pedal::PedalMode::normal);
    }

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

    if (setup->getNumPedals() > 1)
    {
        EXPECT_EQ (setup->getPedal (1).getStatus().packages, 0);
    }

    // Each step of the run in order, one timestamped line apiece.
    const juce::StringArray stepLines{"ports: ",
                                      "search: found \"Verrano2 Boot\"",
                                      "erase: first package sent",
                                      "transfer: started",
                                      "transfer: ended",
                                      "restart: search 1 ",
                                      "revision: the pedal reports 1222"};
    int found = 0;
    for (const auto& line : outcome.errorLines)
        if (found < stepLines.size() && line.contains (stepLines[found]))
            ++found;
    EXPECT_EQ (found, run.verbose ? stepLines.size() : 0) << outcome.errorLines.joinIntoString ("\n");

    EXPECT_EQ (setup->getBus().getNumOpenPorts(), 0) << "the updater left MIDI ports open";
    EXPECT_LT (elapsed, 5000u);
}
