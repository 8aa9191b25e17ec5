// Closing the window while the transfer thread works: the process ends promptly (the
// thread's pauses end at the stop request, far from the forced kill after 2.5 s) with
// the exit code of that moment. CLOSE_AT picks the moment: wait, transfer or reconnect.
#include "AppHarness.h"

#include "tools/pedal/SimulatedSetup.h"

#include <gtest/gtest.h>

using namespace app_testing;

TEST (InteractiveRun, ClosingDuringTheTransferEndsPromptly)
{
    const auto moment = juce::SystemStats::getEnvironmentVariable ("CLOSE_AT", "transfer");

    pedal::PedalConfig config;
    ASSERT_TRUE (config.apply ("restart-ms=never").wasOk()); // so that reconnection goes on and on
    auto setup = std::make_shared<pedal::SimulatedSetup> (config);

    // Progress bands of the three long states of an interactive transfer.
    double from = 0.1, to = 0.6;
    if (moment == "wait")
        from = 0.0, to = 0.1;
    else if (moment == "reconnect")
        from = 0.6, to = 1.0;

    auto closedAt = std::make_shared<juce::uint32> (0);
    std::vector<Step> steps;
    steps.push_back ({"pedal found",
                      [] (Application& app) { return panel (app).getUpdateButton().isEnabled(); },
                      [] (Application& app) { clickUpdate (app); }});
    steps.push_back ({"transfer in the chosen state",
                      [from, to] (Application& app)
                      {
                          const auto p = panel (app).getProgressValue();
                          return p > from + 0.001 && p < to;
                      },
                      [closedAt] (Application& app)
                      {
                          *closedAt = juce::Time::getMillisecondCounter();
                          closeWindow (app);
                      },
                      60000});

    const auto outcome = runApplication (
        {}, [setup] { return setup->makePorts(); }, std::move (steps));
    const auto closing = juce::Time::getMillisecondCounter() - *closedAt;

    EXPECT_TRUE (outcome.failures.isEmpty()) << outcome.failures.joinIntoString ("\n");
    ASSERT_NE (*closedAt, 0u);
    EXPECT_EQ (outcome.exitCode, 0) << "no result yet: the exit code of the moment is still 0";
    EXPECT_LT (closing, 1000u) << "closing took " << closing << " ms";
}
