// Unattended runs of the real application against the simulated pedal, at the real
// pacing: the run closes itself with the outcome as exit code and leaves no MIDI
// port open. PEDAL_SETTINGS picks the pedal; the outcome is read from its report.
#include "AppHarness.h"

#include "tools/pedal/SimulatedSetup.h"

#include <gtest/gtest.h>

using namespace app_testing;

TEST (UnattendedRun, ClosesItselfWithThePedalsOutcomeAndNoPortOpen)
{
    const auto settings = juce::SystemStats::getEnvironmentVariable ("PEDAL_SETTINGS", {});

    pedal::PedalConfig config;
    ASSERT_TRUE (config.apply (settings).wasOk());
    auto setup = std::make_shared<pedal::SimulatedSetup> (config);

    const auto outcome = runApplication ("--autoupdate", [setup] { return setup->makePorts(); }, {});
    const auto pedalState = setup->getPedal().getStatus();
    const bool updated = pedalState.check == pedal::SimulatedPedal::CheckOutcome::passed &&
                         pedalState.revision == 1222 && pedalState.queries > 0;

    EXPECT_TRUE (outcome.reachedShutdown);
    EXPECT_EQ (outcome.exitCode, updated ? 0 : -1) << "pedal settings: " << settings;
    EXPECT_EQ (setup->getBus().getNumOpenPorts(), 0) << "the updater left MIDI ports open";
}
