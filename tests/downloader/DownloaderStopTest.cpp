// Stopping the downloader's thread: every pause of a transfer, the search for the
// pedal at start-up and the one after its restart must end at once when the
// downloader is stopped or destroyed, well before stopThread's time-out would kill
// the thread; and only a stop request may end a pause early.
#include "TransferRig.h"
#include "support/MessagePump.h"

#include <gmock/gmock.h>

using namespace downloader_test;
using Kind = CallJournal::Kind;

namespace
{
constexpr int longPauseMs = 600000;
constexpr int packagesInImage = 4;

/** A place where the transfer thread sits in a long pause, and how to tell it got there. */
struct StopPoint
{
    const char* name;
    bool autoUpdate;
    downloader::Pacing pacing;
    bool holdSearch;
    std::function<bool (const TransferRig&)> reached;
    bool startUpSearch = false; ///< the search the model byte starts, instead of a transfer
};

/** Names the point in test output instead of dumping its bytes. */
void PrintTo (const StopPoint& point, std::ostream* os)
{
    *os << point.name;
}

downloader::Pacing pacingWith (int downloader::Pacing::*field, int value, int waitRounds = 3)
{
    auto pacing = TransferRig::tinyPacing();
    pacing.waitRounds = waitRounds;
    pacing.*field = value;
    return pacing;
}

size_t progressPosts (const TransferRig& rig)
{
    size_t n = 0;
    for (auto& e : rig.journal.entriesOf (Kind::post))
        n += e.value == message::Code::progressUpdate ? 1 : 0;
    return n;
}

std::vector<StopPoint> stopPoints()
{
    using P = downloader::Pacing;
    return {
        {"BootLoaderPause", false, pacingWith (&P::waitStepMs, longPauseMs), false,
         [] (const TransferRig& rig) { return progressPosts (rig) >= 1; }},
        {"PauseAfterAPackage", false, pacingWith (&P::interactiveGapMs, longPauseMs, 0), false,
         [] (const TransferRig& rig) { return progressPosts (rig) >= 1; }},
        {"UnattendedPauseAfterAPackage", true, pacingWith (&P::autoUpdateGapMs, longPauseMs), false,
         [] (const TransferRig& rig) { return progressPosts (rig) >= 1; }},
        {"PauseBeforeReconnecting", true, pacingWith (&P::reconnectPauseMs, longPauseMs), false,
         [] (const TransferRig& rig) { return progressPosts (rig) >= packagesInImage - 1; }},
        {"SearchAfterTheRestart", true, TransferRig::tinyPacing(), true,
         [] (const TransferRig& rig) { return rig.midi.holdsEntered() >= 1; }},
        {"SearchAtStartUp", true, TransferRig::tinyPacing(), true,
         [] (const TransferRig& rig) { return rig.midi.holdsEntered() >= 1; }, true},
    };
}

class DownloaderStop : public ::testing::TestWithParam<StopPoint>
{
protected:
    /** Starts a transfer and pumps until the thread sits at the stop point. */
    void SetUp() override
    {
        const auto& point = GetParam();
        rig = std::make_unique<TransferRig> (point.autoUpdate, packagesInImage, point.pacing);
        rig->midi.scriptFindResults ({true});
        rig->midi.setReply (revisionReply (1222));
        if (point.holdSearch)
            rig->midi.holdFindDevice();

        if (point.startUpSearch)
            rig->downloader->post (new message::ModelIdResponse (0x2E));
        else
            rig->clickUpdate();
        ASSERT_TRUE (testing_support::pumpUntil ([this] { return GetParam().reached (*rig); }));
        ASSERT_TRUE (rig->downloader->isThreadRunning());
    }

    std::unique_ptr<TransferRig> rig;
};
} // namespace

TEST_P (DownloaderStop, StopRequestEndsTheThreadAtOnceAndNothingFollows)
{
    const auto entriesAtStop = rig->journal.entries().size();

    const auto start = juce::Time::getMillisecondCounterHiRes();
    const bool stopped = rig->downloader->stopThread (2500);
    const auto elapsedMs = juce::Time::getMillisecondCounterHiRes() - start;

    EXPECT_TRUE (stopped);
    EXPECT_FALSE (rig->downloader->isThreadRunning());
    EXPECT_LT (elapsedMs, 1000.0);

    // The thread noticed the request right after its pause: no further package,
    // search, progress or (false) failure report.
    EXPECT_EQ (rig->journal.entries().size(), entriesAtStop);
}

TEST_P (DownloaderStop, DestroyingTheDownloaderEndsWithinASecond)
{
    const auto start = juce::Time::getMillisecondCounterHiRes();
    rig->downloader.reset();
    const auto elapsedMs = juce::Time::getMillisecondCounterHiRes() - start;

    EXPECT_LT (elapsedMs, 1000.0);
    testing_support::drainMessages();
    EXPECT_EQ (rig->controller.count (message::Code::updateStatus), 0u);
}

TEST_P (DownloaderStop, AWakeUpThatIsNotAStopRequestLeavesThePauseRunning)
{
    const auto entriesBefore = rig->journal.entries().size();

    // Anything may notify a juce::Thread; a pause that ended on it would send the
    // next package too early.
    for (int i = 0; i < 3; ++i)
        rig->downloader->notify();

    EXPECT_FALSE (testing_support::pumpUntil (
        [this, entriesBefore] { return rig->journal.entries().size() > entriesBefore; }, 300));
    EXPECT_TRUE (rig->downloader->isThreadRunning());
}

INSTANTIATE_TEST_SUITE_P (AtEveryPause, DownloaderStop, ::testing::ValuesIn (stopPoints()),
                          [] (const ::testing::TestParamInfo<StopPoint>& point) { return point.param.name; });
