#include "PedalTestMessages.h"
#include "RecordingPedalPorts.h"

#include "midi/SysExFormat.h"
#include "tools/pedal-sim/ExitAfterUpdate.h"
#include "tools/pedal/SimulatedPedal.h"

#include <gtest/gtest.h>

using pedal::ExitAfterUpdate;
using pedal::SimulatedPedal;
using pedal_test::RecordingPedalPorts;
using Event = RecordingPedalPorts::Event;

namespace
{

/** A simulated pedal taken through an update, looked at the way pedal-sim's main loop does. */
class ExitAfterUpdateTest : public ::testing::Test
{
protected:
    void startPedal (const juce::String& settings)
    {
        pedal::PedalConfig config;
        ASSERT_TRUE (config.apply ("restart-ms=20," + settings).wasOk());
        pedal = std::make_unique<SimulatedPedal> (config, ports);
        pedal->start();
    }

    void sendImage()
    {
        for (auto& package : pedal_test::firmwarePackages())
            pedal->receive (package);
    }

    bool waitForEvents (Event::Kind kind, size_t n)
    {
        return ports.waitFor (
            [kind, n] (const std::vector<Event>& events)
            {
                return static_cast<size_t> (std::count_if (events.begin(), events.end(),
                                                           [kind] (const Event& e)
                                                           { return e.kind == kind; })) >= n;
            });
    }

    /** Asks for the revision as the updater does after the restart, and waits for the answer. */
    void queryRevision()
    {
        const auto before = ports.sentWithCommand (midi::revisionQueryCommand).size();
        pedal->receive (pedal_test::revisionQuery());
        ASSERT_TRUE (ports.waitForCommand (midi::revisionQueryCommand, before + 1));
    }

    RecordingPedalPorts ports;
    std::unique_ptr<SimulatedPedal> pedal;
    ExitAfterUpdate exitAfterUpdate;
};

SimulatedPedal::Status statusOf (SimulatedPedal::Presence presence, int queries)
{
    SimulatedPedal::Status status;
    status.presence = presence;
    status.queries = queries;
    status.check = SimulatedPedal::CheckOutcome::passed;
    return status;
}

} // namespace

//==============================================================================
// Leaving the moment the pedal is back took its ports away before the updater could ask
// for the revision: a good update then ended as a failed one.
TEST_F (ExitAfterUpdateTest, StaysOnceBackUntilTheRevisionHasBeenAsked)
{
    startPedal ({});
    EXPECT_FALSE (exitAfterUpdate.isDue (pedal->getStatus(), 0.0));

    // A query answered before the image ended must not count as the one after the restart.
    queryRevision();
    sendImage();
    ASSERT_TRUE (waitForEvents (Event::present, 2));
    ASSERT_EQ (pedal->getStatus().presence, SimulatedPedal::Presence::online);

    EXPECT_FALSE (exitAfterUpdate.isDue (pedal->getStatus(), 10.0));
    EXPECT_FALSE (exitAfterUpdate.isDue (pedal->getStatus(), 20.0));

    queryRevision();
    EXPECT_TRUE (exitAfterUpdate.isDue (pedal->getStatus(), 30.0));
    EXPECT_EQ (pedal->getStatus().check, SimulatedPedal::CheckOutcome::passed);
}

TEST_F (ExitAfterUpdateTest, AFailedImageAlsoWaitsForTheQuery)
{
    startPedal ("lose-block=17");
    sendImage();
    ASSERT_TRUE (waitForEvents (Event::present, 2));
    EXPECT_FALSE (exitAfterUpdate.isDue (pedal->getStatus(), 0.0));
    queryRevision();
    EXPECT_TRUE (exitAfterUpdate.isDue (pedal->getStatus(), 1.0));
    EXPECT_EQ (pedal->getStatus().check, SimulatedPedal::CheckOutcome::failed);
}

TEST_F (ExitAfterUpdateTest, APedalThatStaysUnpluggedEndsAtOnce)
{
    startPedal ("restart-ms=never");
    sendImage();
    // The ports vanish under the pedal's state lock: once they have, the state says so.
    ASSERT_TRUE (waitForEvents (Event::withdraw, 1));
    ASSERT_EQ (pedal->getStatus().presence, SimulatedPedal::Presence::unplugged);
    EXPECT_TRUE (exitAfterUpdate.isDue (pedal->getStatus(), 0.0));
}

TEST (ExitAfterUpdate, LeavesAfterTheGraceTimeWhenNobodyAsks)
{
    using Presence = SimulatedPedal::Presence;
    ExitAfterUpdate exitAfterUpdate (1000.0);

    EXPECT_FALSE (exitAfterUpdate.isDue (statusOf (Presence::restarting, 2), 0.0));
    EXPECT_FALSE (exitAfterUpdate.isDue (statusOf (Presence::online, 2), 500.0));
    EXPECT_FALSE (exitAfterUpdate.isDue (statusOf (Presence::online, 2), 1499.0));
    EXPECT_TRUE (exitAfterUpdate.isDue (statusOf (Presence::online, 2), 1500.0));
}

TEST (ExitAfterUpdate, ARestartTooShortToBeSeenCountsQueriesFromTheComeback)
{
    using Presence = SimulatedPedal::Presence;
    ExitAfterUpdate exitAfterUpdate;

    auto before = statusOf (Presence::online, 3);
    before.check = SimulatedPedal::CheckOutcome::notRun;
    EXPECT_FALSE (exitAfterUpdate.isDue (before, 0.0));
    EXPECT_FALSE (exitAfterUpdate.isDue (statusOf (Presence::online, 3), 100.0));
    EXPECT_TRUE (exitAfterUpdate.isDue (statusOf (Presence::online, 4), 200.0));
}
