// The controller's routing table: what it forwards, what it answers, and what
// happens when a component is missing.
#include "ControllerRig.h"

#include "support/MessagePump.h"

#include <functional>
#include <memory>

using testing_support::ControllerRig;
using namespace message;

namespace
{
class ControllerRouting : public ControllerRig
{
};

struct ForwardRow
{
    const char* name;
    std::function<BaseMessage*()> make;
    const char* recipient;
};
} // namespace

//==============================================================================
TEST_F (ControllerRouting, StartDisablesTheButtonThenAsksTheModelInOrder)
{
    for (bool interactive : {true, false})
    {
        forget();
        wire();
        hub.start (interactive);
        testing_support::drainMessages();

        EXPECT_EQ (log, (Trace{"view:7", "model:4", "model:17", "model:14"}));
        EXPECT_TRUE (downloader.received.empty());
    }
}

TEST_F (ControllerRouting, ForwardsTheReceivedObjectUnchanged)
{
    const juce::uint8 bytes[] = {0xF0, 0x01, 0xF7};
    const std::vector<ForwardRow> rows{
        {"HelpRequest", [] { return new HelpRequest(); }, "model"},
        {"HelpResponse", [] { return new HelpResponse ("help"); }, "view"},
        {"ProductInfoResponse", [] { return new ProductInfoResponse ("sentence"); }, "view"},
        {"TextMessage", [] { return new TextMessage ("status"); }, "view"},
        {"NextPackageRequest", [] { return new NextPackageRequest(); }, "model"},
        {"NextPackageResponse",
         [&] { return new NextPackageResponse (4, 492, juce::Array<juce::uint8> (bytes, 3)); }, "downloader"},
        {"ProgressUpdate", [] { return new ProgressUpdate (0.35); }, "view"},
        {"ModelIdRequest", [] { return new ModelIdRequest(); }, "model"},
        {"ModelIdResponse", [] { return new ModelIdResponse (0x2E); }, "downloader"},
        {"DeviceNotFound", [] { return new DeviceNotFound(); }, "view"},
    };

    startRun (true);

    for (auto& row : rows)
    {
        SCOPED_TRACE (row.name);
        forget();

        juce::ReferenceCountedObjectPtr<BaseMessage> sent (row.make());
        send (sent.get());

        const std::string recipient = row.recipient;
        auto& target = recipient == "model" ? model : recipient == "view" ? view : downloader;

        ASSERT_FALSE (target.received.empty());
        EXPECT_EQ (target.received.front().get(), sent.get());
        EXPECT_EQ (log.front(), recipient + ":" + std::to_string (sent->type));
    }
}

TEST_F (ControllerRouting, PackageResponsesKeepTheButtonDisabled)
{
    startRun (true);
    send (new NextPackageResponse (0, 492, {}));
    send (new NextPackageResponse (492, 492, {}));

    EXPECT_EQ (log, (Trace{"downloader:12", "view:7", "downloader:12", "view:7"}));
}

TEST_F (ControllerRouting, RequestsMeantForNobodyAreDropped)
{
    startRun (true);

    for (auto* m : std::initializer_list<BaseMessage*>{new ProductInfoRequest(), new UpdateButtonEnable(),
                                                       new UpdateButtonDisable(), new SVNNumberRequest()})
        send (m);

    EXPECT_TRUE (log.empty());
    EXPECT_EQ (quitCalls, 0);
}

TEST_F (ControllerRouting, UpdateRequestGoesOutAsNewRequestsAndClearsTheStatus)
{
    startRun (true);

    juce::ReferenceCountedObjectPtr<BaseMessage> press (new UpdateRequest());
    send (press.get());

    EXPECT_EQ (log, (Trace{"downloader:3", "model:3", "view:10"}));
    EXPECT_NE (downloader.received[0].get(), press.get());
    EXPECT_NE (model.received[0].get(), press.get());
    EXPECT_NE (downloader.received[0].get(), model.received[0].get());
    EXPECT_EQ (statusShown(), "");
}

//==============================================================================
TEST_F (ControllerRouting, CloseClearsTheComponentsAndAsksToQuit)
{
    startRun (true);
    send (new CloseRequest());

    EXPECT_EQ (quitCalls, 1);
    EXPECT_EQ (exitCodesAtQuit, (std::vector<int>{0}));

    // Still delivered after the close, but routed nowhere; the state still changes.
    send (new TextMessage ("late"));
    send (new UpdateRequest());
    send (new HelpRequest());
    send (new DeviceFound ("Verrano2 Boot"));
    send (new UpdateStatus (1));
    EXPECT_TRUE (log.empty());
    EXPECT_EQ (hub.getExitCode(), -1);

    send (new CloseRequest());
    EXPECT_EQ (quitCalls, 2);
}

TEST_F (ControllerRouting, ForwardsQueuedBeforeTheCloseStillArriveThoseAfterAreDropped)
{
    startRun (true);

    // The help text is forwarded before the close is handled and reaches the view
    // after it; the status text comes after the close and goes nowhere.
    hub.post (new HelpResponse ("help"));
    hub.post (new CloseRequest());
    hub.post (new TextMessage ("late"));
    testing_support::drainMessages();

    EXPECT_EQ (quitCalls, 1);
    EXPECT_EQ (log, (Trace{"view:1"}));
}

TEST_F (ControllerRouting, EveryPostToAMissingComponentIsSkipped)
{
    // No pointers set at all: the whole table runs without reaching anyone.
    hub.start (false);
    testing_support::drainMessages();

    juce::ReferenceCountedObjectPtr<BaseMessage> forwarded (new ProgressUpdate (0.5));
    send (forwarded.get());
    EXPECT_EQ (forwarded->getReferenceCount(), 1) << "a skipped forward must not keep the message";

    for (auto* m : std::initializer_list<BaseMessage*>{
             new HelpRequest(), new HelpResponse ("h"), new UpdateRequest(), new ProductInfoResponse ("p"),
             new TextMessage ("t"), new NextPackageRequest(), new NextPackageResponse (0, 1, {}),
             new ModelIdRequest(), new ModelIdResponse (1), new DeviceFound ("x"), new SVNUpdate (1222, 3),
             new SVNUpdate (1222, 2), new UpdateStatus (0)})
        send (m);

    EXPECT_TRUE (log.empty());
    EXPECT_EQ (hub.getExitCode(), 0);
    // The unattended run still ends itself: the full bar and two results each close.
    EXPECT_EQ (quitCalls, 3);
}

TEST_F (ControllerRouting, MalformedMessagesAreIgnored)
{
    // A bare message carrying a payload class's code has no payload to read.
    startRun (false);

    for (int code : {Code::progressUpdate, Code::svnUpdate, Code::deviceFound, Code::updateStatus})
        send (new BaseMessage (code));

    EXPECT_TRUE (log.empty());
    EXPECT_EQ (quitCalls, 0);
    EXPECT_EQ (hub.getExitCode(), -1) << "no revision from the pedal: the unattended run has not updated it";
}

TEST (ControllerWithoutApplication, CloseIsHarmlessOutsideARunningApplication)
{
    testing_support::RecordingListener view;
    controller::Controller hub;
    hub.setView (&view);

    hub.post (new CloseRequest());
    hub.post (new TextMessage ("after"));
    testing_support::drainMessages();

    EXPECT_TRUE (view.received.empty());
    EXPECT_EQ (hub.getExitCode(), 0);
}
