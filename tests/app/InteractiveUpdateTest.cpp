// The interactive update end to end, at the real pacing, against the simulated pedal
// in its boot loader: the user presses "update", watches the bar, sees the result,
// presses again, and closes the window.
#include "AppHarness.h"

#include "tools/pedal/SimulatedSetup.h"

#include <gtest/gtest.h>

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
    steps.push_back ({which + ": bar moving during the 20-second wait",
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
                      [] (Application& app) {
                          return panel (app).getProgressValue() == 1.0 &&
                                 panel (app).getUpdateButton().isEnabled();
                      },
                      {}});
}
} // namespace

TEST (InteractiveRun, UpdatesThePedalTwiceThroughTheButton)
{
    auto setup = std::make_shared<pedal::SimulatedSetup>();

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
    addUpdateSteps (steps, "second update");
    steps.push_back (
        {"close", [] (Application&) { return true; }, [] (Application& app) { closeWindow (app); }});

    const auto outcome = runApplication (
        {}, [setup] { return setup->makePorts(); }, std::move (steps));

    EXPECT_TRUE (outcome.failures.isEmpty()) << outcome.failures.joinIntoString ("\n");
    EXPECT_EQ (outcome.exitCode, 0);
    EXPECT_EQ (outcome.statusText, success);

    // The bar went through many values on its way to full, never backwards within a transfer.
    EXPECT_GT (outcome.progressSeen.size(), 20u);

    const auto pedalState = setup->getPedal().getStatus();
    EXPECT_EQ (pedalState.revision, 1222);
    EXPECT_EQ (pedalState.mode, pedal::PedalMode::normal);
    EXPECT_EQ (pedalState.check, pedal::SimulatedPedal::CheckOutcome::passed);
    EXPECT_EQ (pedalState.packages, 2 * 492) << "the second press sends the whole image again";
    EXPECT_EQ (setup->getBus().getNumOpenPorts(), 0) << "the updater left MIDI ports open";
}
