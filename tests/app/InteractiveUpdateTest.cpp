// The interactive update end to end against the simulated pedal in its boot loader:
// the user presses "update", watches the bar, sees the result and closes the window.
// PACING=real (the default) runs one update at the shipped pauses and checks them
// where the pedal sees them; PACING=fast runs two updates in a row with short pauses,
// the second press sending the whole image again.
#include "AppHarness.h"

#include "tools/pedal/SimulatedSetup.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>

using namespace app_testing;

namespace
{
const juce::String
    productSentence ("This software updater will update your Verrano2 firmware to version 1.2.00 - R1222");
const juce::String success ("Status: Firmware upgrade successful");

/** One whole update, from the press of the button to the result on screen. */
void addUpdateSteps (std::vector<Step>& steps, const juce::String& which)
{
    steps.push_back ({which + ": update button enabled",
                      [] (Application& app) { return panel (app).getUpdateButton().isEnabled(); },
                      [] (Application& app) { clickUpdate (app); }});
    steps.push_back ({which + ": status cleared and button disabled",
                      [] (Application& app) {
                          return panel (app).getStatusText() == "Status: " &&
                                 !panel (app).getUpdateButton().isEnabled();
                      },
                      {}});
    steps.push_back ({which + ": bar moving during the boot loader's wait",
                      [] (Application& app) { return panel (app).getProgressValue() > 0.0; },
                      {}});
    steps.push_back ({which + ": transfer under way",
                      [] (Application& app) { return panel (app).getProgressValue() > 0.2; },
                      {},
                      30000});
    steps.push_back ({which + ": success shown",
                      [] (Application& app) { return panel (app).getStatusText() == success; },
                      {},
                      60000});
    steps.push_back ({which + ": bar full and button enabled again",
                      [] (Application& app)
                      {
                          return std::equal_to<double>() (panel (app).getProgressValue(), 1.0) &&
                                 panel (app).getUpdateButton().isEnabled();
                      },
                      {}});
}
} // namespace

TEST (InteractiveRun, UpdatesThePedalThroughTheButton)
{
    const bool real = juce::SystemStats::getEnvironmentVariable ("PACING", "real") == "real";
    const int updates = real ? 1 : 2;

    // Back from its restart within the first search at the real pauses, within the
    // attempts at the short ones.
    pedal::PedalConfig config;
    ASSERT_TRUE (config.apply (real ? "restart-ms=1000" : "restart-ms=100").wasOk());
    auto setup = std::make_shared<pedal::SimulatedSetup> (config);

    std::vector<Step> steps;
    steps.push_back ({"window shows the product, the pedal in boot mode and an enabled button",
                      [] (Application& app)
                      {
                          auto& p = panel (app);
                          return p.getProductInfoText() == productSentence &&
                                 p.getDeviceText() == "Device: Verrano2 Boot" &&
                                 p.getUpdateButton().isEnabled();
                      },
                      {}});
    addUpdateSteps (steps, "first update");
    if (updates == 2)
        addUpdateSteps (steps, "second update");
    steps.push_back (
        {"close", [] (Application&) { return true; }, [] (Application& app) { closeWindow (app); }});

    const auto outcome = runApplication (
        {}, [setup] { return setup->makePorts(); }, std::move (steps), real ? Pauses() : app::Pauses::fast());

    EXPECT_TRUE (outcome.failures.isEmpty()) << outcome.failures.joinIntoString ("\n");
    EXPECT_EQ (outcome.exitCode, 0);
    EXPECT_EQ (outcome.statusText, success);

    // The bar went through many values on its way to full, never backwards within a transfer.
    EXPECT_GT (outcome.progressSeen.size(), 20u);

    const auto pedalState = setup->getPedal().getStatus();
    EXPECT_EQ (pedalState.revision, 1222);
    EXPECT_EQ (pedalState.mode, pedal::PedalMode::normal);
    EXPECT_EQ (pedalState.check, pedal::SimulatedPedal::CheckOutcome::passed);
    EXPECT_EQ (pedalState.packages, updates * 492) << "each press sends the whole image";
    EXPECT_EQ (setup->getBus().getNumOpenPorts(), 0) << "the updater left MIDI ports open";

    if (!real)
        return;

    // The shipped pauses, on the pedal's clock. Never shorter than the pause; longer
    // only by what a busy machine adds.
    const auto& waits = pedalState.waits;
    const auto& gaps = pedalState.blockGaps;
    std::cout << "the pedal saw: erase to first block " << waits.eraseToBlockMs << " ms, gaps between blocks "
              << gaps.minMs << " to " << gaps.maxMs << " ms (median " << gaps.medianMs
              << "), end of the image to the first probe " << waits.endToProbeMs << " ms" << std::endl;

    // The boot loader erases its flash after the first package: 40 pauses of 500 ms.
    EXPECT_GE (waits.eraseToBlockMs, 20000.0);
    EXPECT_LT (waits.eraseToBlockMs, 25000.0);

    // 50 ms after each package in an interactive run.
    EXPECT_EQ (gaps.count, 489);
    EXPECT_GE (gaps.minMs, 50.0);
    EXPECT_LT (gaps.medianMs, 55.0);

    // 2500 ms before each search after the restart: a pedal back after one second
    // sees its first probe only then.
    EXPECT_GE (waits.endToProbeMs, 2500.0);
    EXPECT_LT (waits.endToProbeMs, 4000.0);
}
