#include "PedalTestMessages.h"
#include "RecordingPedalPorts.h"

#include "midi/SysExFormat.h"
#include "tools/pedal/ForeignTraffic.h"
#include "tools/pedal/PedalProtocol.h"
#include "tools/pedal/SimulatedPedal.h"

#include <gtest/gtest.h>

#include <map>

using pedal::PedalConfig;
using pedal::PedalMode;
using pedal::SimulatedPedal;
using pedal_test::configFor;
using pedal_test::RecordingPedalPorts;
using Event = RecordingPedalPorts::Event;

namespace
{

std::map<juce::String, juce::String> parseReport (const juce::String& report)
{
    std::map<juce::String, juce::String> values;
    for (auto& line : juce::StringArray::fromLines (report.trimEnd()))
        values[line.upToFirstOccurrenceOf ("=", false, false)] =
            line.fromFirstOccurrenceOf ("=", false, false);
    return values;
}

/** A pedal with recording ports; restarts take 20 ms unless the settings say otherwise. */
class PedalTest : public ::testing::Test
{
protected:
    void startPedal (const juce::String& settings = {})
    {
        pedal = std::make_unique<SimulatedPedal> (configFor ("restart-ms=20," + settings), ports);
        pedal->start();
    }

    void sendImage()
    {
        for (auto& package : pedal_test::firmwarePackages())
            pedal->receive (package);
    }

    /** Waits until the pedal has handled everything received so far: its answer to a
        revision query sent now comes after all of it. */
    void waitUntilHandled()
    {
        const auto before = ports.sentWithCommand (midi::revisionQueryCommand).size();
        pedal->receive (pedal_test::revisionQuery());
        ASSERT_TRUE (ports.waitForCommand (midi::revisionQueryCommand, before + 1));
    }

    bool waitForPresents (size_t n)
    {
        return ports.waitFor (
            [n] (const std::vector<Event>& events)
            {
                return static_cast<size_t> (std::count_if (events.begin(), events.end(),
                                                           [] (const Event& e)
                                                           { return e.kind == Event::present; })) >= n;
            });
    }

    /** Sends the whole image and waits for the pedal to come back from its restart. */
    SimulatedPedal::Status updateAndWaitForRestart()
    {
        sendImage();
        EXPECT_TRUE (waitForPresents (2));
        return pedal->getStatus();
    }

    RecordingPedalPorts ports;
    std::unique_ptr<SimulatedPedal> pedal;
};

} // namespace

//==============================================================================
TEST_F (PedalTest, TheRealImageChecksOutAndThePedalComesBackInNormalOperation)
{
    startPedal();
    const auto status = updateAndWaitForRestart();

    EXPECT_EQ (status.check, SimulatedPedal::CheckOutcome::passed) << status.checkReason;
    EXPECT_EQ (status.presence, SimulatedPedal::Presence::online);
    EXPECT_EQ (status.mode, PedalMode::normal);
    EXPECT_EQ (status.revision, 1222);
    EXPECT_EQ (status.restarts, 1);
    EXPECT_EQ (status.packages, 492);
    EXPECT_EQ (SimulatedPedal::formatBlockList (status.blockOrder), "0-489");

    const auto events = ports.events();
    ASSERT_GE (events.size(), 3u);
    EXPECT_EQ (events[0].kind, Event::present);
    EXPECT_EQ (events[0].name, "Verrano2 Boot");
    EXPECT_EQ (events[1].kind, Event::withdraw);
    EXPECT_EQ (events[2].kind, Event::present);
    EXPECT_EQ (events[2].name, "Verrano2");

    pedal->receive (pedal_test::revisionQuery());
    ASSERT_TRUE (ports.waitForCommand (midi::revisionQueryCommand));
    EXPECT_EQ (pedal_test::revisionIn (ports.sentWithCommand (midi::revisionQueryCommand).front()), 1222);

    const auto report = parseReport (pedal->report());
    EXPECT_EQ (report.at ("state"), "online");
    EXPECT_EQ (report.at ("mode"), "normal");
    EXPECT_EQ (report.at ("name"), "Verrano2");
    EXPECT_EQ (report.at ("revision"), "1222");
    EXPECT_EQ (report.at ("blocks"), "490");
    EXPECT_EQ (report.at ("block-order"), "0-489");
    EXPECT_EQ (report.at ("missing"), "");
    EXPECT_EQ (report.at ("check"), "passed");
    EXPECT_EQ (report.at ("restarts"), "1");
    EXPECT_EQ (report.at ("queries"), "1");
}

TEST_F (PedalTest, ProbeIsAcknowledgedOnThePedalsOwnThread)
{
    startPedal();
    pedal->receive (pedal_test::probe());
    ASSERT_TRUE (ports.waitForCommand (midi::acknowledgeCommand));

    const auto events = ports.events();
    const auto& ack = events.back();
    EXPECT_NE (ack.thread, std::this_thread::get_id());
    EXPECT_EQ (ack.message.getSysExDataSize(), 6);
    EXPECT_TRUE (pedal::isForPedal (ack.message));
    EXPECT_EQ (pedal->getStatus().probes, 1);
}

TEST_F (PedalTest, RevisionReplyIsElevenBytesOfPackedRevision)
{
    {
        // 1187 is A3 04 00 00: the high bit of A3 goes to bit 6 of the high-bits byte.
        startPedal();
        pedal->receive (pedal_test::revisionQuery());
        ASSERT_TRUE (ports.waitForCommand (midi::revisionQueryCommand));
        const auto reply = ports.sentWithCommand (midi::revisionQueryCommand).front();
        const juce::uint8 expected[] = {0xf0, 0x00, 0x6c, 0x51, 0x00, 0x2e, 0x03,
                                        0x40, 0x23, 0x04, 0x00, 0x00, 0xf7};
        ASSERT_EQ (reply.getRawDataSize(), 13);
        EXPECT_TRUE (std::equal (std::begin (expected), std::end (expected), reply.getRawData()));
    }

    for (const juce::int32 revision : {1187, 0, 127, 128, 0x7fffffff, -1})
    {
        RecordingPedalPorts fresh;
        SimulatedPedal p (configFor ("start-revision=" + juce::String (revision)), fresh);
        p.start();
        p.receive (pedal_test::revisionQuery());
        ASSERT_TRUE (fresh.waitForCommand (midi::revisionQueryCommand));

        const auto reply = fresh.sentWithCommand (midi::revisionQueryCommand).front();
        EXPECT_EQ (reply.getSysExDataSize(), 11);
        EXPECT_EQ (pedal_test::revisionIn (reply), revision);

        // Every data byte of a SysEx message must stay below 80.
        for (int i = 0; i < reply.getSysExDataSize(); ++i)
            EXPECT_LT (reply.getSysExData()[i], 0x80);
    }
}

TEST_F (PedalTest, EraseMakesTheBootLoaderReportRevisionZero)
{
    startPedal();
    pedal->receive (pedal_test::firmwarePackages().front());
    waitUntilHandled();

    EXPECT_EQ (pedal_test::revisionIn (ports.sentWithCommand (midi::revisionQueryCommand).back()), 0);
    EXPECT_TRUE (pedal->getStatus().erased);
}

TEST_F (PedalTest, TheImagesBlocksSurviveARepackingRoundTrip)
{
    for (auto& package : pedal_test::firmwarePackages())
    {
        if (!pedal::isBlockPackage (package))
            continue;

        const auto* packed = package.getSysExData() + pedal::packedDataOffset;
        const auto block = pedal::unpackSevenBit (packed, pedal::packedBlockSize);
        ASSERT_EQ (block.size(), 517);

        const auto repacked = pedal::packSevenBit (block.begin(), block.size());
        ASSERT_EQ (repacked.size(), pedal::packedBlockSize);
        ASSERT_TRUE (std::equal (repacked.begin(), repacked.end(), packed));
    }
}

//==============================================================================
struct TransitCase
{
    const char* settings;
    const char* reasonPart;
};

static void PrintTo (const TransitCase& transitCase, std::ostream* os)
{
    *os << transitCase.settings;
}

class PedalTransitFaultTest : public PedalTest, public ::testing::WithParamInterface<TransitCase>
{
};

TEST_P (PedalTransitFaultTest, ABrokenTransferFailsTheCheckAndLeavesTheBootLoader)
{
    startPedal (GetParam().settings);
    const auto status = updateAndWaitForRestart();

    EXPECT_EQ (status.check, SimulatedPedal::CheckOutcome::failed);
    EXPECT_TRUE (status.checkReason.contains (GetParam().reasonPart)) << status.checkReason;
    EXPECT_EQ (status.mode, PedalMode::bootLoader);
    EXPECT_EQ (status.portName, "Verrano2 Boot");
    EXPECT_EQ (status.revision, 0);
    EXPECT_EQ (status.restarts, 1);
    EXPECT_EQ (ports.events().back().name, "Verrano2 Boot");

    pedal->receive (pedal_test::revisionQuery());
    ASSERT_TRUE (ports.waitForCommand (midi::revisionQueryCommand));
    EXPECT_EQ (pedal_test::revisionIn (ports.sentWithCommand (midi::revisionQueryCommand).front()), 0);
}

INSTANTIATE_TEST_SUITE_P (Faults, PedalTransitFaultTest,
                          ::testing::Values (TransitCase{"lose-block=17", "missing blocks: 17"},
                                             TransitCase{"lose-block=random:3", "missing blocks"},
                                             TransitCase{"lose-block=0", "missing blocks: 0"},
                                             TransitCase{"duplicate-block=17", "duplicated blocks: 17"},
                                             TransitCase{"reorder-block=17", "block 18"},
                                             TransitCase{"reorder-block=489", "missing blocks: 489"},
                                             TransitCase{"corrupt-block=200", "CRC"}));

TEST_F (PedalTest, TransitFaultsShowInTheArrivalRecord)
{
    startPedal ("lose-block=5,duplicate-block=9,reorder-block=20");
    const auto status = updateAndWaitForRestart();

    EXPECT_EQ (SimulatedPedal::formatBlockList (status.blockOrder), "0-4,6-9,9-19,21,20,22-489");
    EXPECT_EQ (status.missing, std::vector<int> ({5}));
    EXPECT_EQ (status.duplicates, std::vector<int> ({9}));
}

TEST (ArrivalTimes, TellTheUpdatersPausesAsThePedalSeesThem)
{
    using Kind = pedal::ArrivalTimes::Kind;
    const auto image = pedal_test::firmwarePackages();
    const juce::uint8 query[] = {0x00, 0x6c, 0x51, 0x00, 0x2e, 0x03};
    const juce::uint8 otherModelsProbe[] = {0x00, 0x6c, 0x51, 0x00, 0x2f, 0x00};

    EXPECT_EQ (pedal::ArrivalTimes::kindOf (pedal_test::probe()), Kind::probe);
    EXPECT_EQ (pedal::ArrivalTimes::kindOf (image.front()), Kind::beginUpdate);
    EXPECT_EQ (pedal::ArrivalTimes::kindOf (image[1]), Kind::block);
    EXPECT_EQ (pedal::ArrivalTimes::kindOf (image.back()), Kind::endOfImage);
    EXPECT_EQ (pedal::ArrivalTimes::kindOf (juce::MidiMessage::createSysExMessage (query, 6)), Kind::other);
    EXPECT_EQ (pedal::ArrivalTimes::kindOf (juce::MidiMessage::createSysExMessage (otherModelsProbe, 6)),
               Kind::other);

    // A search, an update and the search after the restart, at made-up times.
    pedal::ArrivalTimes times;
    EXPECT_LT (times.waits().probeToNextMs, 0.0);
    times.note (Kind::probe, 1000.0);
    times.note (Kind::beginUpdate, 1400.0);
    times.note (Kind::block, 21410.0);
    times.note (Kind::block, 21460.0);
    times.note (Kind::block, 21530.0);
    times.note (Kind::endOfImage, 21580.0);
    times.note (Kind::probe, 24120.0);
    times.note (Kind::other, 24420.0);

    auto waits = times.waits();
    EXPECT_DOUBLE_EQ (waits.eraseToBlockMs, 20010.0);
    EXPECT_DOUBLE_EQ (waits.endToProbeMs, 2540.0);
    EXPECT_DOUBLE_EQ (waits.probeToNextMs, 300.0);
    EXPECT_EQ (times.gaps().count, 2);
    EXPECT_DOUBLE_EQ (times.gaps().minMs, 50.0);
    EXPECT_DOUBLE_EQ (times.gaps().maxMs, 70.0);

    // The next update starts over; the shortest probe wait stays the shortest seen.
    times.note (Kind::beginUpdate, 30000.0);
    waits = times.waits();
    EXPECT_LT (waits.eraseToBlockMs, 0.0);
    EXPECT_LT (waits.endToProbeMs, 0.0);
    EXPECT_DOUBLE_EQ (waits.probeToNextMs, 300.0);
    EXPECT_EQ (times.gaps().count, 0);
}

//==============================================================================
TEST_F (PedalTest, NormalOperationIgnoresFirmware)
{
    startPedal ("mode=normal");
    sendImage();
    waitUntilHandled();

    const auto status = pedal->getStatus();
    EXPECT_EQ (status.mode, PedalMode::normal);
    EXPECT_EQ (status.revision, 1187);
    EXPECT_EQ (status.packages, 492);
    EXPECT_TRUE (status.blockOrder.empty());
    EXPECT_EQ (status.check, SimulatedPedal::CheckOutcome::notRun);
    EXPECT_EQ (status.restarts, 0);
    EXPECT_EQ (ports.count (Event::withdraw), 0u);
    EXPECT_EQ (pedal_test::revisionIn (ports.sentWithCommand (midi::revisionQueryCommand).back()), 1187);
}

TEST_F (PedalTest, TheBootLoaderTakesNoBlocksBeforeAnErase)
{
    startPedal();
    auto packages = pedal_test::firmwarePackages();
    for (size_t i = 1; i < packages.size(); ++i)
        pedal->receive (packages[i]);
    waitUntilHandled();

    const auto status = pedal->getStatus();
    EXPECT_TRUE (status.blockOrder.empty());
    EXPECT_EQ (status.restarts, 0);
    EXPECT_EQ (status.revision, 1187);
    EXPECT_EQ (ports.count (Event::withdraw), 0u);
}

TEST_F (PedalTest, MessagesNotAddressedToThePedalAreIgnored)
{
    startPedal();

    const juce::uint8 otherModel[] = {0xf0, 0x00, 0x6c, 0x51, 0x00, 0x2f, 0x00, 0xf7};
    const juce::uint8 otherMaker[] = {0xf0, 0x00, 0x20, 0x33, 0x00, 0x2e, 0x00, 0xf7};
    const juce::uint8 headerOnly[] = {0xf0, 0x00, 0x6c, 0x51, 0x00, 0x2e, 0xf7};
    const juce::uint8 emptySysEx[] = {0xf0, 0xf7};
    const juce::uint8 probeWithExtra[] = {0xf0, 0x00, 0x6c, 0x51, 0x00, 0x2e, 0x00, 0x00, 0xf7};

    for (auto* bytes : {otherModel, otherMaker})
        pedal->receive (juce::MidiMessage (bytes, 8));
    pedal->receive (juce::MidiMessage (headerOnly, sizeof (headerOnly)));
    pedal->receive (juce::MidiMessage (emptySysEx, sizeof (emptySysEx)));
    pedal->receive (juce::MidiMessage (probeWithExtra, sizeof (probeWithExtra)));
    pedal->receive (juce::MidiMessage::noteOn (1, 60, static_cast<juce::uint8> (90)));
    waitUntilHandled();

    EXPECT_EQ (ports.sent().size(), 1u); // only the reply to the query
    EXPECT_EQ (pedal->getStatus().probes, 0);
}

//==============================================================================
TEST_F (PedalTest, WithoutAcknowledgementTheProbeGoesUnanswered)
{
    startPedal ("ack=none");
    pedal->receive (pedal_test::probe());
    waitUntilHandled();

    EXPECT_TRUE (ports.sentWithCommand (midi::acknowledgeCommand).empty());
    EXPECT_EQ (pedal->getStatus().probes, 1);
}

TEST_F (PedalTest, ALateAcknowledgementComesNoEarlierThanItsDelay)
{
    startPedal ("ack=late:150");
    const auto sentAt = juce::Time::getMillisecondCounterHiRes();
    pedal->receive (pedal_test::probe());
    waitUntilHandled();

    if (juce::Time::getMillisecondCounterHiRes() - sentAt < 150.0)
    {
        EXPECT_TRUE (ports.sentWithCommand (midi::acknowledgeCommand).empty());
    }

    ASSERT_TRUE (ports.waitForCommand (midi::acknowledgeCommand));
    for (auto& e : ports.events())
    {
        if (e.kind == Event::send && e.message.getSysExDataSize() == 6)
        {
            EXPECT_GE (e.timeMs - sentAt, 150.0);
        }
    }
}

TEST_F (PedalTest, RevisionQueryFaults)
{
    auto repliesTo = [] (const juce::String& settings, size_t expectedReplies)
    {
        RecordingPedalPorts recording;
        SimulatedPedal p (configFor (settings), recording);
        p.start();
        p.receive (pedal_test::revisionQuery());
        // A probe after the query: once it is acknowledged, the query has been handled.
        p.receive (pedal_test::probe());
        EXPECT_TRUE (recording.waitForCommand (midi::acknowledgeCommand));
        if (expectedReplies > 0)
        {
            EXPECT_TRUE (recording.waitForCommand (midi::revisionQueryCommand, expectedReplies));
        }
        return recording.sentWithCommand (midi::revisionQueryCommand);
    };

    EXPECT_TRUE (repliesTo ("revision=none", 0).empty());

    const auto tooShort = repliesTo ("revision=short", 1);
    ASSERT_EQ (tooShort.size(), 1u);
    EXPECT_EQ (tooShort[0].getSysExDataSize(), 10);
    EXPECT_FALSE (pedal_test::revisionIn (tooShort[0]).has_value());

    const auto twice = repliesTo ("revision=twice", 2);
    ASSERT_EQ (twice.size(), 2u);
    EXPECT_EQ (pedal_test::revisionIn (twice[1]), 1187);

    const auto wrong = repliesTo ("revision=wrong:4711", 1);
    ASSERT_EQ (wrong.size(), 1u);
    EXPECT_EQ (pedal_test::revisionIn (wrong[0]), 4711);

    const auto sentAt = juce::Time::getMillisecondCounterHiRes();
    const auto late = repliesTo ("revision=late:100", 1);
    ASSERT_EQ (late.size(), 1u);
    EXPECT_GE (juce::Time::getMillisecondCounterHiRes() - sentAt, 100.0);

    // A held answer waits for its release, whatever else the pedal handles meanwhile.
    RecordingPedalPorts recording;
    SimulatedPedal held (configFor ({}), recording);
    held.start();
    held.holdRevisionAnswers (true);
    held.receive (pedal_test::revisionQuery());
    held.receive (pedal_test::probe());
    ASSERT_TRUE (recording.waitForCommand (midi::acknowledgeCommand));
    EXPECT_TRUE (recording.sentWithCommand (midi::revisionQueryCommand).empty());
    held.holdRevisionAnswers (false);
    ASSERT_TRUE (recording.waitForCommand (midi::revisionQueryCommand));
    EXPECT_EQ (pedal_test::revisionIn (recording.sentWithCommand (midi::revisionQueryCommand).front()), 1187);
}

//==============================================================================
TEST_F (PedalTest, AnUnpluggedPedalNeverComesBack)
{
    startPedal ("restart-ms=never");
    sendImage();
    ASSERT_TRUE (ports.waitFor ([] (const std::vector<Event>& events)
                                { return !events.empty() && events.back().kind == Event::withdraw; }));

    const auto status = pedal->getStatus();
    EXPECT_EQ (status.presence, SimulatedPedal::Presence::unplugged);
    EXPECT_EQ (status.check, SimulatedPedal::CheckOutcome::passed);
    EXPECT_EQ (parseReport (pedal->report()).at ("state"), "unplugged");
}

TEST_F (PedalTest, ARestartingPedalIgnoresMessagesAndStopsPromptly)
{
    startPedal ("restart-ms=600000");
    sendImage();
    ASSERT_TRUE (ports.waitFor ([] (const std::vector<Event>& events)
                                { return !events.empty() && events.back().kind == Event::withdraw; }));

    pedal->receive (pedal_test::probe());
    pedal->receive (pedal_test::revisionQuery());
    EXPECT_EQ (pedal->getStatus().presence, SimulatedPedal::Presence::restarting);

    const auto before = juce::Time::getMillisecondCounterHiRes();
    pedal.reset();
    EXPECT_LT (juce::Time::getMillisecondCounterHiRes() - before, 5000.0);

    EXPECT_TRUE (ports.sentWithCommand (midi::acknowledgeCommand).empty());
    EXPECT_TRUE (ports.sentWithCommand (midi::revisionQueryCommand).empty());
}

TEST_F (PedalTest, ForeignTrafficCarriesEveryChosenKind)
{
    startPedal ("foreign=all,foreign-rate=1000,foreign-burst=5");

    std::vector<juce::MidiMessage> expected;
    for (int kind = 1; kind < PedalConfig::foreignAll; kind <<= 1)
        for (auto& m : pedal::ForeignTraffic::messagesOfKind (kind))
            expected.push_back (m);

    auto sameBytes = [] (const juce::MidiMessage& a, const juce::MidiMessage& b)
    {
        return a.getRawDataSize() == b.getRawDataSize() &&
               std::memcmp (a.getRawData(), b.getRawData(), static_cast<size_t> (a.getRawDataSize())) == 0;
    };

    ASSERT_TRUE (ports.waitFor (
        [&] (const std::vector<Event>& events)
        {
            for (auto& m : expected)
                if (std::none_of (events.begin(), events.end(),
                                  [&] (const Event& e)
                                  { return e.kind == Event::send && sameBytes (e.message, m); }))
                    return false;
            return true;
        }));

    // None of it is mistaken for the pedal's own acknowledgement.
    EXPECT_TRUE (ports.sentWithCommand (midi::acknowledgeCommand).empty());
}
