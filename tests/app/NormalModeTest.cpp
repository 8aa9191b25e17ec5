// A pedal in normal operation (not in its boot loader): the window says so and the
// update button stays disabled; closing before any update exits with 0.
#include "AppHarness.h"

#include "tools/pedal/SimulatedSetup.h"

#include <gtest/gtest.h>

using namespace app_testing;

TEST (InteractiveRun, PedalNotInBootModeKeepsTheButtonDisabled)
{
    pedal::PedalConfig config;
    ASSERT_TRUE (config.apply ("mode=normal").wasOk());
    auto setup = std::make_shared<pedal::SimulatedSetup> (config);

    std::vector<Step> steps;
    steps.push_back ({"device found in normal operation",
                      [] (Application& app) { return panel (app).getDeviceText() == "Device: Verrano2"; },
                      {}});
    // Give a wrongly enabled button the chance to show up before looking.
    auto settled = std::make_shared<juce::uint32> (0);
    steps.push_back ({"a moment later",
                      [settled] (Application&)
                      {
                          if (*settled == 0)
                              *settled = juce::Time::getMillisecondCounter();
                          return juce::Time::getMillisecondCounter() - *settled > 300;
                      },
                      [] (Application& app) { closeWindow (app); }});

    const auto outcome = runApplication (
        {}, [setup] { return setup->makePorts(); }, std::move (steps));

    EXPECT_TRUE (outcome.failures.isEmpty()) << outcome.failures.joinIntoString ("\n");
    EXPECT_EQ (outcome.statusText, "Status: Device is not in boot mode");
    EXPECT_FALSE (outcome.updateButtonEnabled);
    EXPECT_EQ (outcome.exitCode, 0);
    EXPECT_EQ (setup->getPedal().getStatus().packages, 0);
    EXPECT_EQ (setup->getBus().getNumOpenPorts(), 0) << "the updater left MIDI ports open";
}
