// The transfer thread's course: package order, pacing, progress, reconnection
// and the revision read back from the pedal; and the downloader's handling of the
// model byte and of messages that are not its own.
#include "TransferRig.h"
#include "support/MessagePump.h"

#include <gmock/gmock.h>

using namespace downloader_test;
using Kind = CallJournal::Kind;

namespace
{
/** A rig whose pedal comes back at the first attempt and reports revision 1222. */
std::unique_ptr<TransferRig> succeedingRig (bool autoUpdate, int numPackages,
                                            downloader::Pacing pacing = TransferRig::tinyPacing())
{
    auto rig = std::make_unique<TransferRig> (autoUpdate, numPackages, pacing);
    rig->midi.scriptFindResults ({true});
    rig->midi.setReply (revisionReply (1222));
    return rig;
}
} // namespace

//==============================================================================
TEST (DownloaderTransfer, InteractiveRunSendsEveryPackageInOrderWithTheBootLoaderPauseAfterTheFirst)
{
    auto rig = succeedingRig (false, 4);
    rig->clickUpdate();
    ASSERT_TRUE (rig->runToEnd());

    EXPECT_EQ (rig->threadTrace(), "S0 P P P S1 P S2 P S3 P C F Q V");
    EXPECT_EQ (rig->journal.sent(), rig->model.image());

    for (auto& e : rig->journal.entriesOf (Kind::sendSysEx))
        EXPECT_EQ (e.threadName, "Downloader");

    auto* revision = rig->controller.nth<message::SVNUpdate>();
    ASSERT_NE (revision, nullptr);
    EXPECT_EQ (revision->revision, 1222);
    EXPECT_EQ (revision->source, message::revisionFromPedal);
    EXPECT_EQ (rig->controller.count (message::Code::updateStatus), 0u);
}

TEST (DownloaderTransfer, UnattendedRunSendsTheSecondPackageRightAfterTheFirst)
{
    // A boot loader pause long enough to time the test out: the run must not make it.
    auto pacing = TransferRig::tinyPacing();
    pacing.waitStepMs = 600000;

    auto rig = succeedingRig (true, 4, pacing);
    rig->clickUpdate();
    ASSERT_TRUE (rig->runToEnd());

    EXPECT_EQ (rig->threadTrace(), "S0 S1 P S2 P S3 P C F Q V");
    EXPECT_EQ (rig->journal.sent(), rig->model.image());
}

TEST (DownloaderTransfer, LeavingTheBootLoaderPauseTakesNoFurtherPause)
{
    // With no rounds to make, the pass that leaves the pause must not wait a step.
    auto pacing = TransferRig::tinyPacing();
    pacing.waitRounds = 0;
    pacing.waitStepMs = 600000;

    auto rig = succeedingRig (false, 3, pacing);
    rig->clickUpdate();
    ASSERT_TRUE (rig->runToEnd());
    EXPECT_EQ (rig->threadTrace(), "S0 S1 P S2 P C F Q V");
}

TEST (DownloaderTransfer, ProgressForTheFullImageClimbsFromTheBootLoaderPauseToSixTenths)
{
    auto pacing = TransferRig::tinyPacing();
    pacing.waitRounds = 40;
    pacing.interactiveGapMs = 0;

    auto rig = succeedingRig (false, 492, pacing);
    rig->clickUpdate();
    ASSERT_TRUE (rig->runToEnd());

    const auto values = rig->controller.progressValues();
    ASSERT_EQ (values.size(), 40u + 491u);

    for (size_t k = 0; k < 40; ++k)
        EXPECT_NEAR (values[k], 0.0025 * static_cast<double> (k + 1), 1e-12)
            << "boot loader pause step " << k;

    EXPECT_NEAR (values[40], 0.10203, 1e-5);
    EXPECT_EQ (values.back(), 0.6);

    for (size_t k = 41; k < values.size(); ++k)
        EXPECT_GT (values[k], values[k - 1]) << "package " << k - 39;

    EXPECT_EQ (rig->journal.sent(), rig->model.image());
}

//==============================================================================
TEST (DownloaderTransfer, PedalThatNeverReturnsIsGivenUpAfterTheEighthAttempt)
{
    auto rig = std::make_unique<TransferRig> (true, 2);
    rig->midi.setReply (revisionReply (1222));
    rig->clickUpdate();
    ASSERT_TRUE (rig->runToEnd());

    EXPECT_EQ (rig->threadTrace(), "S0 S1 P C F P C F P C F P C F P C F P C F P C F P C F P U");

    const auto values = rig->controller.progressValues();
    ASSERT_EQ (values.size(), 9u);
    EXPECT_EQ (values[0], 0.6);
    for (size_t k = 1; k < 8; ++k)
        EXPECT_NEAR (values[k], 0.6 + 0.05 * static_cast<double> (k), 1e-9);
    EXPECT_LT (values[7], 1.0);
    EXPECT_GE (values[8], 1.0);

    auto* status = rig->controller.nth<message::UpdateStatus>();
    ASSERT_NE (status, nullptr);
    EXPECT_EQ (status->status, message::pedalDidNotReturn);
    EXPECT_EQ (rig->controller.count (message::Code::updateStatus), 1u);
    EXPECT_EQ (rig->controller.count (message::Code::svnUpdate), 0u);
    EXPECT_EQ (rig->journal.count (Kind::sendAndReceive), 0u);
}

TEST (DownloaderTransfer, PedalReturningAtTheThirdAttemptIsAskedForItsRevision)
{
    auto rig = std::make_unique<TransferRig> (true, 2);
    rig->midi.scriptFindResults ({false, false, true});
    rig->midi.setReply (revisionReply (1187));
    rig->clickUpdate();
    ASSERT_TRUE (rig->runToEnd());

    EXPECT_EQ (rig->threadTrace(), "S0 S1 P C F P C F P C F Q V");
    EXPECT_EQ (rig->controller.nth<message::SVNUpdate>()->revision, 1187);
    EXPECT_EQ (rig->controller.count (message::Code::updateStatus), 0u);
}

TEST (DownloaderTransfer, TwoPedalsAnsweringAfterTheRestartEndTheUpdateUnasked)
{
    // Not found at the first attempt, then two pedals: whichever answered the revision
    // query, its answer could not be trusted, so none is asked.
    auto rig = std::make_unique<TransferRig> (true, 2);
    rig->midi.scriptPedalsAnswering ({0, 2, 1});
    rig->midi.setReply (revisionReply (1222));
    rig->clickUpdate();
    ASSERT_TRUE (rig->runToEnd());

    EXPECT_EQ (rig->threadTrace(), "S0 S1 P C F P C F U");
    auto* status = rig->controller.nth<message::UpdateStatus>();
    ASSERT_NE (status, nullptr);
    EXPECT_EQ (status->status, message::severalPedals);
    EXPECT_EQ (rig->controller.count (message::Code::svnUpdate), 0u);
    EXPECT_EQ (rig->journal.count (Kind::sendAndReceive), 0u);
}

//==============================================================================
TEST (DownloaderRevision, ReplyCarryingOneTwoZeroZeroIsRevision513FromThePedal)
{
    auto rig = succeedingRig (true, 2);
    rig->midi.scriptFindResults ({true, true}); // the search at start-up and the one after the restart
    rig->midi.setReply (revisionReply (513));
    rig->downloader->post (new message::ModelIdResponse (0x2E));
    rig->clickUpdate();
    ASSERT_TRUE (rig->runToEnd());

    auto queries = rig->journal.entriesOf (Kind::sendAndReceive);
    ASSERT_EQ (queries.size(), 1u);
    EXPECT_EQ (queries[0].bytes, revisionQuery());
    EXPECT_EQ (queries[0].value, 20);

    auto* revision = rig->controller.nth<message::SVNUpdate>();
    ASSERT_NE (revision, nullptr);
    EXPECT_EQ (revision->revision, 513);
    EXPECT_EQ (revision->source, 2);
}

TEST (DownloaderRevision, NoReplyOrOneTooShortForFourBytesIsAFailedUpdate)
{
    const auto header = revisionQuery();
    auto threeBytes = header;
    const juce::uint8 packed[] = {0x00, 0x01, 0x02, 0x00}; // a high-bits byte and three data bytes
    threeBytes.addArray (packed, 4);

    const juce::uint8 cutShort[] = {0x00, 0x6C};

    const std::vector<std::optional<juce::Array<juce::uint8>>> replies{
        std::nullopt, juce::Array<juce::uint8>(), juce::Array<juce::uint8> (cutShort, 2), header, threeBytes};

    for (size_t i = 0; i < replies.size(); ++i)
    {
        SCOPED_TRACE ("reply " + std::to_string (i));
        auto rig = succeedingRig (true, 2);
        rig->midi.setReply (replies[i]);
        rig->clickUpdate();
        ASSERT_TRUE (rig->runToEnd());

        EXPECT_EQ (rig->threadTrace(), "S0 S1 P C F Q U");
        ASSERT_NE (rig->controller.nth<message::UpdateStatus>(), nullptr);
        EXPECT_EQ (rig->controller.nth<message::UpdateStatus>()->status, message::revisionNotAnswered);
        EXPECT_EQ (rig->controller.count (message::Code::svnUpdate), 0u);
    }
}

//==============================================================================
TEST (DownloaderDevice, ModelIdResponseSearchesOnTheDownloadersThreadAndReportsTheFoundPort)
{
    TransferRig rig (false, 2);
    rig.midi.scriptFindResults ({true});
    rig.midi.deviceName = "Verrano2 Boot";
    rig.downloader->post (new message::ModelIdResponse (0x2E));
    ASSERT_TRUE (testing_support::pumpUntil ([&] { return !rig.controller.received.empty(); }));
    testing_support::drainMessages();

    // The search waits 300 ms per port pair: on the message thread it would freeze the window.
    auto finds = rig.journal.entriesOf (Kind::findDevice);
    ASSERT_EQ (finds.size(), 1u);
    EXPECT_EQ (finds[0].value, 0x2E);
    EXPECT_FALSE (finds[0].onMessageThread);
    EXPECT_EQ (finds[0].threadName, "Downloader");

    ASSERT_EQ (rig.controller.codes(), std::vector<int>{message::Code::deviceFound});
    EXPECT_EQ (rig.controller.nth<message::DeviceFound>()->deviceName, "Verrano2 Boot");
    ASSERT_TRUE (testing_support::pumpUntil ([&] { return !rig.downloader->isThreadRunning(); }));
}

TEST (DownloaderDevice, AnUpdateAskedForDuringTheSearchFollowsItAndNeverSharesThePorts)
{
    // Unattended, the controller asks for the update as soon as the pedal is found,
    // which can reach the downloader while the search's thread is still ending.
    auto rig = std::make_unique<TransferRig> (true, 2);
    rig->midi.scriptFindResults ({true, true});
    rig->midi.setReply (revisionReply (1222));
    rig->midi.holdFindDevice();
    rig->downloader->post (new message::ModelIdResponse (0x2E));

    // The message thread stays free while the search waits for the pedal.
    ASSERT_TRUE (testing_support::pumpUntil ([&] { return rig->midi.holdsEntered() >= 1; }));
    rig->clickUpdate();
    testing_support::drainMessages();
    EXPECT_EQ (rig->journal.count (Kind::sendSysEx), 0u)
        << "nothing may be sent while the search holds the ports";
    EXPECT_EQ (rig->controller.count (message::Code::nextPackageRequest), 0u);

    rig->midi.release();
    ASSERT_TRUE (rig->runToEnd());

    EXPECT_EQ (rig->threadTrace(), "F N 20 S0 S1 P C F Q V");
    EXPECT_EQ (rig->journal.sent(), rig->model.image()) << "the one update asked for, complete";
}

TEST (DownloaderDevice, PedalNotFoundIsReportedAndItsModelByteStillAddressesItLater)
{
    auto rig = std::make_unique<TransferRig> (true, 2);
    rig->downloader->post (new message::ModelIdResponse (0x2E));
    ASSERT_TRUE (testing_support::pumpUntil ([&] { return !rig->controller.received.empty(); }));
    ASSERT_TRUE (testing_support::pumpUntil ([&] { return !rig->downloader->isThreadRunning(); }));
    ASSERT_EQ (rig->controller.codes(), std::vector<int>{message::Code::deviceNotFound});
    EXPECT_EQ (rig->journal.count (Kind::getDeviceName), 0u);

    // The transport was left closed: the transfer looks for the pedal before sending.
    rig->midi.scriptFindResults ({true, true});
    rig->midi.setReply (revisionReply (1222));
    rig->clickUpdate();
    ASSERT_TRUE (rig->runToEnd());

    auto finds = rig->journal.entriesOf (Kind::findDevice);
    ASSERT_EQ (finds.size(), 3u);
    for (size_t k = 0; k < finds.size(); ++k)
    {
        EXPECT_EQ (finds[k].value, 0x2E);
        EXPECT_EQ (finds[k].threadName, "Downloader");
    }
    EXPECT_EQ (rig->journal.entriesOf (Kind::sendAndReceive)[0].bytes, revisionQuery());
}

TEST (DownloaderDevice, MessagesThatAreNotTheDownloadersChangeNothing)
{
    TransferRig rig (false, 2);
    rig.downloader->post (new message::DeviceFound ("Verrano2 Boot"));
    rig.downloader->post (new message::ProgressUpdate (0.5));
    rig.downloader->post (new message::BaseMessage (8));
    rig.downloader->post (
        new message::BaseMessage (message::Code::nextPackageResponse)); // code without payload
    rig.downloader->post (new message::BaseMessage (message::Code::modelIdResponse));
    testing_support::drainMessages();

    EXPECT_TRUE (rig.journal.entries().empty());
    EXPECT_TRUE (rig.controller.received.empty());
    EXPECT_FALSE (rig.downloader->isThreadRunning());
}

//==============================================================================
TEST (DownloaderWhileRunning, LateResponsesAndModelIdsChangeNothing)
{
    auto rig = succeedingRig (true, 3);
    rig->midi.scriptFindResults ({true, true});
    rig->downloader->post (new message::ModelIdResponse (0x2E));
    ASSERT_TRUE (testing_support::pumpUntil (
        [&] {
            return rig->controller.count (message::Code::deviceFound) == 1 &&
                   !rig->downloader->isThreadRunning();
        }));

    // The transfer's search for the restarted pedal holds the thread.
    rig->midi.holdFindDevice();
    rig->clickUpdate();
    ASSERT_TRUE (testing_support::pumpUntil ([&] { return rig->midi.holdsEntered() >= 1; }));

    const auto postsBefore = rig->journal.count (Kind::post);
    const auto findsBefore = rig->journal.count (Kind::findDevice);
    rig->downloader->post (new message::NextPackageResponse (3, 3, {}));
    rig->downloader->post (new message::NextPackageResponse (0, 3, FakeModel::packageFor (0)));
    rig->downloader->post (new message::ModelIdResponse (0x11));
    testing_support::drainMessages();

    EXPECT_EQ (rig->journal.count (Kind::post), postsBefore);
    EXPECT_EQ (rig->journal.count (Kind::findDevice), findsBefore);
    EXPECT_TRUE (rig->downloader->isThreadRunning());

    rig->midi.release();
    ASSERT_TRUE (rig->runToEnd());
    EXPECT_EQ (rig->journal.sent(), rig->model.image());
    EXPECT_EQ (rig->journal.entriesOf (Kind::sendAndReceive)[0].bytes, revisionQuery());
}

TEST (DownloaderWhileRunning, AnUpdateAfterTheResultRunsAFreshCompleteTransfer)
{
    auto rig = succeedingRig (false, 3);
    rig->clickUpdate();
    ASSERT_TRUE (rig->runToEnd());

    rig->midi.scriptFindResults ({true});
    rig->clickUpdate();
    ASSERT_TRUE (
        testing_support::pumpUntil ([&] { return rig->controller.count (message::Code::svnUpdate) == 2; }));
    ASSERT_TRUE (rig->runToEnd());

    const auto once = rig->model.image();
    auto twice = once;
    twice.insert (twice.end(), once.begin(), once.end());
    EXPECT_EQ (rig->journal.sent(), twice);
    EXPECT_EQ (rig->threadTrace(), "S0 P P P S1 P S2 P C F Q V S0 P P P S1 P S2 P C F Q V");
}

TEST (DownloaderWhileRunning, AnUpdateAfterTheReconnectionGaveUpFindsThePedalBeforeSending)
{
    // The pedal never came back: the transport is closed after the last attempt.
    TransferRig rig (false, 3);
    rig.midi.setReply (revisionReply (1222));
    rig.clickUpdate();
    ASSERT_TRUE (rig.runToEnd());

    juce::String expected ("S0 P P P S1 P S2 P");
    for (int attempt = 0; attempt < 8; ++attempt)
        expected << " C F P";
    expected << " U";
    ASSERT_EQ (rig.threadTrace(), expected);

    auto pumpUntilPosts = [&rig] (message::Code code, size_t count)
    {
        return testing_support::pumpUntil ([&] { return rig.controller.count (code) == count; }) &&
               rig.runToEnd();
    };

    // Still gone: the retry fails at once instead of sending the image to no port.
    rig.clickUpdate();
    ASSERT_TRUE (pumpUntilPosts (message::Code::updateStatus, 2));
    expected << " F U";
    EXPECT_EQ (rig.threadTrace(), expected);

    // Back: the retry finds it first, then sends the whole image and reads its revision.
    rig.midi.scriptFindResults ({true, true});
    rig.clickUpdate();
    ASSERT_TRUE (pumpUntilPosts (message::Code::svnUpdate, 1));
    expected << " F S0 P P P S1 P S2 P C F Q V";
    EXPECT_EQ (rig.threadTrace(), expected);

    const auto once = rig.model.image();
    auto twice = once;
    twice.insert (twice.end(), once.begin(), once.end());
    EXPECT_EQ (rig.journal.sent(), twice);
}
