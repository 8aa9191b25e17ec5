// The course of a run: finding the pedal, comparing revisions, reporting the
// result, and how an unattended run ends itself.
#include "ControllerRig.h"

#include "support/MessagePump.h"

using testing_support::ControllerRig;
using namespace message;

namespace
{
class ControllerRun : public ControllerRig
{
};

const juce::String failureText = "Firmware upgrade failed. Please try again";
const juce::String successText = "Firmware upgrade successful";
} // namespace

//==============================================================================
TEST_F (ControllerRun, InteractiveDeviceFoundGetsTheBootTestInAnyLetterCase)
{
    // On Linux the USB audio driver names the pedal's port "<product> MIDI 1".
    const std::vector<std::pair<juce::String, int>> cases{
        {"Verrano2 Boot", Code::updateButtonEnable},  {"VERRANO2 BOOT", Code::updateButtonEnable},
        {"bOoTloader", Code::updateButtonEnable},     {"Verrano2 Boot MIDI 1", Code::updateButtonEnable},
        {"Verrano2", Code::updateButtonDisable},      {"Verrano2 MIDI 1", Code::updateButtonDisable},
        {"Verrano2 Bo ot", Code::updateButtonDisable}};
    startRun (true);

    for (auto& [name, buttonCode] : cases)
    {
        SCOPED_TRACE (name.toStdString());
        forget();

        juce::ReferenceCountedObjectPtr<BaseMessage> found (new DeviceFound (name));
        send (found.get());

        ASSERT_EQ (log, (Trace{"view:20", "downloader:20", "view:" + std::to_string (buttonCode)}));
        // Each component gets an object of its own carrying the same name.
        EXPECT_NE (view.received[0].get(), found.get());
        EXPECT_NE (downloader.received[0].get(), found.get());
        EXPECT_NE (view.received[0].get(), downloader.received[0].get());
        EXPECT_EQ (view.nth<DeviceFound>()->deviceName, name);
        EXPECT_EQ (downloader.nth<DeviceFound>()->deviceName, name);
    }

    EXPECT_TRUE (model.received.empty());
}

TEST_F (ControllerRun, UnattendedFirstDeviceFoundStartsAtOnceWithoutBootTest)
{
    startRun (false);

    send (new DeviceFound ("Verrano2"));
    EXPECT_EQ (log, (Trace{"view:20", "downloader:20", "downloader:3"}));

    // A second sighting (the pedal after its restart) is only tested for boot mode.
    forget();
    send (new DeviceFound ("Verrano2"));
    EXPECT_EQ (log, (Trace{"view:20", "downloader:20", "view:7"}));

    forget();
    send (new DeviceFound ("Verrano2 Boot"));
    EXPECT_EQ (log, (Trace{"view:20", "downloader:20", "view:6"}));

    EXPECT_EQ (quitCalls, 0);
}

//==============================================================================
TEST_F (ControllerRun, DeviceNotFoundInteractiveOnlyReportsIt)
{
    startRun (true);

    juce::ReferenceCountedObjectPtr<BaseMessage> notFound (new DeviceNotFound());
    send (notFound.get());

    EXPECT_EQ (log, (Trace{"view:19", "view:7"}));
    EXPECT_EQ (view.received[0].get(), notFound.get());
    EXPECT_EQ (hub.getExitCode(), 0);
    EXPECT_EQ (quitCalls, 0);
}

TEST_F (ControllerRun, DeviceNotFoundUnattendedBeforeAnyPedalFailsAndCloses)
{
    startRun (false);
    send (new DeviceNotFound());

    EXPECT_EQ (log, (Trace{"view:19", "view:7"}));
    EXPECT_EQ (hub.getExitCode(), -1);
    EXPECT_EQ (exitCodesAtQuit, (std::vector<int>{-1}));
}

TEST_F (ControllerRun, DeviceNotFoundUnattendedAfterThePedalWasFoundLeavesTheRunOpen)
{
    startRun (false);
    send (new DeviceFound ("Verrano2 Boot"));
    forget();

    send (new DeviceNotFound());

    EXPECT_EQ (log, (Trace{"view:19", "view:7"}));
    EXPECT_EQ (hub.getExitCode(), -1) << "still no result";
    EXPECT_EQ (quitCalls, 0);
}

//==============================================================================
TEST_F (ControllerRun, ResultIsShownAndSetsTheExitCode)
{
    startRun (true);

    send (new UpdateStatus (1));
    EXPECT_EQ (log, (Trace{"view:6", "view:10"}));
    EXPECT_EQ (statusShown(), failureText);
    EXPECT_EQ (hub.getExitCode(), -1);

    // Any non-zero status is a failure; a later success clears the exit code.
    forget();
    send (new UpdateStatus (7));
    EXPECT_EQ (statusShown(), failureText);
    EXPECT_EQ (hub.getExitCode(), -1);

    forget();
    send (new UpdateStatus (0));
    EXPECT_EQ (log, (Trace{"view:6", "view:10"}));
    EXPECT_EQ (statusShown(), successText);
    EXPECT_EQ (hub.getExitCode(), 0);

    EXPECT_EQ (quitCalls, 0) << "an interactive run stays open";
}

TEST_F (ControllerRun, UnattendedResultClosesWithItsExitCodeSet)
{
    startRun (false);
    send (new UpdateStatus (1));

    EXPECT_EQ (exitCodesAtQuit, (std::vector<int>{-1}));
}

TEST_F (ControllerRun, ExitCodeIsZeroBeforeAnyUpdate)
{
    startRun (true);
    send (new CloseRequest());
    EXPECT_EQ (exitCodesAtQuit, (std::vector<int>{0}));
}

//==============================================================================
TEST_F (ControllerRun, OnlyAFullBarClosesAnUnattendedRun)
{
    startRun (false);

    for (double nearlyFull : {0.9999999999, 1.0000000000000002, 0.0, 0.6})
        send (new ProgressUpdate (nearlyFull));
    EXPECT_EQ (quitCalls, 0);
    EXPECT_EQ (view.count (Code::progressUpdate), 4u);

    send (new ProgressUpdate (1.0));
    EXPECT_EQ (quitCalls, 1);
    EXPECT_EQ (view.count (Code::progressUpdate), 5u) << "the full bar is still shown";
}

TEST_F (ControllerRun, AFullBarNeverClosesAnInteractiveRun)
{
    startRun (true);
    send (new ProgressUpdate (1.0));

    EXPECT_EQ (quitCalls, 0);
    EXPECT_EQ (log, (Trace{"view:13"}));
}

//==============================================================================
TEST_F (ControllerRun, MatchingRevisionsFillTheBarThenReportSuccess)
{
    startRun (true);

    send (new SVNUpdate (1222, 3));
    EXPECT_TRUE (log.empty()) << "the image's revision alone decides nothing";

    send (new SVNUpdate (1222, 2));
    EXPECT_EQ (log, (Trace{"view:13", "view:6", "view:10"}));
    EXPECT_EQ (progressShown(), 1.0);
    EXPECT_EQ (statusShown(), successText);
    EXPECT_EQ (hub.getExitCode(), 0);
}

TEST_F (ControllerRun, RevisionsDecideInWhicheverOrderTheyArrive)
{
    startRun (true);

    send (new SVNUpdate (1187, 2));
    EXPECT_TRUE (log.empty()) << "the pedal's revision alone decides nothing";

    send (new SVNUpdate (1222, 3));
    EXPECT_EQ (log, (Trace{"view:13", "view:6", "view:10"}));
    EXPECT_EQ (statusShown(), failureText);
    EXPECT_EQ (hub.getExitCode(), -1);
}

TEST_F (ControllerRun, EachTransferIsJudgedAgainstTheStoredImageRevision)
{
    startRun (true);
    send (new SVNUpdate (1222, 3));

    send (new SVNUpdate (0, 2)); // the boot loader rejected the image
    EXPECT_EQ (hub.getExitCode(), -1);

    forget();
    send (new SVNUpdate (1222, 2)); // a retry that worked
    EXPECT_EQ (statusShown(), successText);
    EXPECT_EQ (hub.getExitCode(), 0);
}

TEST_F (ControllerRun, AnUnknownSourceForgetsBothRevisions)
{
    startRun (true);
    send (new SVNUpdate (1222, 3));
    send (new SVNUpdate (1222, 5));
    send (new SVNUpdate (1222, 2));

    EXPECT_TRUE (log.empty());
    EXPECT_EQ (hub.getExitCode(), 0);

    // Both are needed again before anything is decided.
    send (new SVNUpdate (1222, 3));
    EXPECT_EQ (log, (Trace{"view:13", "view:6", "view:10"}));
}

TEST_F (ControllerRun, APedalReportingMinusOneIsAFailureNotSilence)
{
    startRun (true);
    send (new SVNUpdate (1222, 3));
    send (new SVNUpdate (-1, 2));

    EXPECT_EQ (log, (Trace{"view:13", "view:6", "view:10"}));
    EXPECT_EQ (progressShown(), 1.0);
    EXPECT_EQ (statusShown(), failureText);
    EXPECT_EQ (hub.getExitCode(), -1);
}

TEST_F (ControllerRun, APedalReportingMinusOneEndsAnUnattendedRunAsFailed)
{
    startRun (false);
    send (new SVNUpdate (-1, 2));
    EXPECT_TRUE (log.empty()) << "no result before the image's revision is known";

    send (new SVNUpdate (1222, 3));

    EXPECT_EQ (hub.getExitCode(), -1);
    ASSERT_FALSE (exitCodesAtQuit.empty());
    EXPECT_EQ (exitCodesAtQuit.front(), -1);
}

//==============================================================================
TEST_F (ControllerRun, UnattendedRunHandlesTheResultBeforeEitherClose)
{
    startRun (false);
    send (new DeviceFound ("Verrano2 Boot"));
    send (new SVNUpdate (1222, 3));
    forget();

    // The exit code starts at 0, so a close handled before the result would show 0.
    send (new SVNUpdate (1187, 2));

    EXPECT_EQ (exitCodesAtQuit, (std::vector<int>{-1, -1}));
    EXPECT_EQ (log, (Trace{"view:13", "view:6", "view:10"}));
}

TEST_F (ControllerRun, WholeUnattendedRunEndsWithSuccess)
{
    wire();
    hub.start (false);
    send (new SVNUpdate (1222, 3));              // the model's answer at start-up
    send (new DeviceFound ("Verrano2 Boot"));    // the downloader found the pedal
    send (new NextPackageResponse (0, 492, {})); // collecting packages
    send (new ProgressUpdate (0.6));             // the transfer ran
    send (new SVNUpdate (1222, 2));              // the pedal came back updated

    EXPECT_EQ (downloader.count (Code::updateRequest), 1u);
    EXPECT_EQ (model.count (Code::updateRequest), 0u) << "the model's cursor is still at the start";
    EXPECT_EQ (statusShown(), successText);
    ASSERT_FALSE (exitCodesAtQuit.empty());
    EXPECT_EQ (exitCodesAtQuit.front(), 0);
    EXPECT_EQ (hub.getExitCode(), 0);
}

//==============================================================================
TEST_F (ControllerRun, UnattendedIsASuccessOnlyOnceThePedalReportsTheImagesRevision)
{
    startRun (false);
    send (new SVNUpdate (1222, 3));
    send (new DeviceFound ("Verrano2 Boot"));
    send (new ProgressUpdate (0.6));
    EXPECT_EQ (hub.getExitCode(), -1) << "the transfer ran, but the pedal has reported nothing yet";

    // Closed before the result (the window, a signal): still not a success.
    send (new CloseRequest());
    EXPECT_EQ (exitCodesAtQuit, (std::vector<int>{-1}));
}

TEST (ControllerOutcome, SaysHowTheRunEnded)
{
    using Kind = controller::Controller::Outcome::Kind;

    struct Case
    {
        const char* what;
        std::vector<BaseMessage*> messages;
        Kind kind;
        int failure;
        int exitCode;
    };

    std::vector<Case> cases;
    cases.push_back ({"nothing yet", {new SVNUpdate (1222, 3)}, Kind::none, 0, -1});
    cases.push_back ({"no pedal at start-up", {new DeviceNotFound()}, Kind::pedalNotFound, 0, -1});
    cases.push_back ({"two pedals at start-up", {new DeviceNotFound (2)}, Kind::severalPedals, 0, -1});
    cases.push_back ({"a second pedal after the restart",
                      {new DeviceFound ("Verrano2 Boot"), new UpdateStatus (severalPedals)},
                      Kind::failed,
                      severalPedals,
                      -1});
    cases.push_back ({"pedal gone after the transfer",
                      {new DeviceFound ("Verrano2 Boot"), new UpdateStatus (pedalDidNotReturn)},
                      Kind::failed,
                      pedalDidNotReturn,
                      -1});
    cases.push_back ({"no answer to the revision question",
                      {new DeviceFound ("Verrano2 Boot"), new UpdateStatus (revisionNotAnswered)},
                      Kind::failed,
                      revisionNotAnswered,
                      -1});
    cases.push_back ({"another revision",
                      {new SVNUpdate (1222, 3), new DeviceFound ("Verrano2 Boot"), new SVNUpdate (1187, 2)},
                      Kind::failed,
                      revisionMismatch,
                      -1});
    cases.push_back ({"updated",
                      {new SVNUpdate (1222, 3), new DeviceFound ("Verrano2 Boot"), new SVNUpdate (1222, 2)},
                      Kind::updated,
                      updateSucceeded,
                      0});

    for (auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        controller::Controller hub ([] {});
        hub.start (false);

        for (auto* m : c.messages)
            hub.post (m);
        testing_support::drainMessages();

        const auto outcome = hub.getOutcome();
        EXPECT_EQ (outcome.kind, c.kind);
        EXPECT_EQ (outcome.failure, c.failure);
        EXPECT_EQ (hub.getExitCode(), c.exitCode);

        if (c.failure == revisionMismatch)
        {
            EXPECT_EQ (outcome.pedalRevision, 1187);
            EXPECT_EQ (outcome.imageRevision, 1222);
        }
    }
}
