// --list through the application object: every port the system offers, each pair
// of equal name with what it answered, the pedals' revisions, and an exit code that
// sums it up, with nothing sent to the pedals but the probe and the revision question.
// CASE picks the system: "two_pedals" (the default) or "one_pedal".
#include "AppHarness.h"

#include "tools/pedal/SimulatedSetup.h"

#include <gtest/gtest.h>

using namespace app_testing;

TEST (ListPorts, SaysWhatTheSearchSeesAndSendsNothingElse)
{
    const bool twoPedals = juce::SystemStats::getEnvironmentVariable ("CASE", "two_pedals") == "two_pedals";

    // Listed: a silent device, a busy one, the pedal in its boot loader, (a second
    // pedal in normal operation at 1222,) another silent device.
    pedal::PedalConfig config;
    ASSERT_TRUE (config.apply ("extra-devices=1,unopenable-devices=1,extra-devices-after=1").wasOk());
    if (twoPedals)
    {
        ASSERT_TRUE (config.apply ("second-pedal=normal,second.start-revision=1222").wasOk());
    }
    auto setup = std::make_shared<pedal::SimulatedSetup> (config);

    const auto outcome = runApplication ("--list", [setup] { return setup->makePorts(); }, {});

    EXPECT_TRUE (outcome.reachedShutdown);
    EXPECT_EQ (outcome.exitCode, twoPedals ? 2 : 0);
    EXPECT_TRUE (outcome.deviceText.isEmpty()) << "a window was opened";
    EXPECT_TRUE (updaterErrorLines (outcome).isEmpty()) << outcome.errorLines.joinIntoString ("\n");

    const auto text = outcome.outputText;
    SCOPED_TRACE (text);
    EXPECT_TRUE (text.contains ("  0  USB MIDI Interface 1\n  1  Busy MIDI Device 1\n  2  Verrano2 Boot\n"));
    EXPECT_TRUE (text.contains ("\"USB MIDI Interface 1\"  input 0, output 0: no answer within 300 ms\n"));
    EXPECT_TRUE (text.contains ("\"Busy MIDI Device 1\"  input 1, output 1: could not be opened"));
    EXPECT_TRUE (text.contains ("\"Verrano2 Boot\"  input 2, output 2: answered in "));
    EXPECT_TRUE (text.contains (" ms, boot loader, revision 1187\n"));

    if (twoPedals)
    {
        EXPECT_TRUE (text.contains ("\"Verrano2\"  input 3, output 3: answered in "));
        EXPECT_TRUE (text.contains (" ms, normal operation (no \"boot\" in its name), revision 1222\n"));
        EXPECT_TRUE (text.contains ("\"USB MIDI Interface 2\"  input 4, output 4: no answer"));
        EXPECT_TRUE (text.endsWith ("2 pedals answered: connect only the one to update.\n"));
    }
    else
    {
        EXPECT_TRUE (text.endsWith ("One pedal answered: \"Verrano2 Boot\", ready for the update.\n"));
    }

    for (int k = 0; k < setup->getNumPedals(); ++k)
    {
        const auto state = setup->getPedal (k).getStatus();
        EXPECT_EQ (state.probes, 1) << k;
        EXPECT_EQ (state.queries, 1) << k;
        EXPECT_EQ (state.packages, 0) << k;
    }
    EXPECT_EQ (setup->getBus().getNumOpenPorts(), 0) << "the listing left MIDI ports open";
}
