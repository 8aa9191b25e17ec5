// An unattended run on a system without the pedal: the start-up requests are still
// answered (product sentence, device line), and the run closes itself as a failure
// with one line on standard error that says so.
#include "AppHarness.h"
#include "EmptyPorts.h"

#include <gtest/gtest.h>

using namespace app_testing;

TEST (UnattendedRun, WithoutPedalAnswersStartUpAndExitsWithFailure)
{
    const auto started = juce::Time::getMillisecondCounter();
    const auto outcome = runApplication ("--autoupdate", [] { return std::make_unique<EmptyPorts>(); }, {});
    const auto elapsed = juce::Time::getMillisecondCounter() - started;

    EXPECT_TRUE (outcome.reachedShutdown);
    EXPECT_EQ (outcome.exitCode, -1);
    EXPECT_EQ (outcome.controllerExitCode, -1);
    EXPECT_EQ (outcome.productText,
               "This software updater will update your Verrano2 firmware to version 1.2.00 - R1222");
    EXPECT_EQ (outcome.deviceText, "Device: Not found");
    EXPECT_FALSE (outcome.updateButtonEnabled);
    EXPECT_TRUE (outcome.failures.isEmpty()) << outcome.failures.joinIntoString ("\n");
    EXPECT_LT (elapsed, 5000u);

    const auto lines = updaterErrorLines (outcome);
    ASSERT_EQ (lines.size(), 1) << outcome.errorLines.joinIntoString ("\n");
    EXPECT_TRUE (lines[0].startsWith ("no pedal found: ")) << lines[0];
}
