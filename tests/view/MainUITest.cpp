// The main window on a (virtual) display: its settings, the fixed size, the routing
// of view messages to the panel, the help windows it opens, the button presses of
// its panel and its close request. The controller is a recording stand-in.
#include "view/MainUI.h"
#include "MouseSimulation.h"
#include "WindowQueries.h"
#include "support/MessagePump.h"
#include "support/RecordingListener.h"

#include <gmock/gmock.h>

using testing_support::drainMessages;
using testing_support::RecordingListener;
using namespace view_testing;

namespace
{

/** Notes the panel's progress value at the moment each UpdateRequest is posted. */
class WatchingController : public RecordingListener
{
public:
    void post (message::BaseMessage* m) override
    {
        if (m != nullptr && m->type == message::Code::updateRequest && panel != nullptr)
            progressWhenUpdateWasPosted.push_back (panel->getProgressValue());

        RecordingListener::post (m);
    }

    const view::Updater* panel = nullptr;
    std::vector<double> progressWhenUpdateWasPosted;
};

juce::String longHelpText()
{
    juce::String text;

    for (int i = 1; i <= 120; ++i)
        text << "Step " << i << ": hold the footswitch while plugging the pedal in.\n";

    return text;
}

class MainWindow : public ::testing::Test
{
protected:
    MainWindow()
    {
        controller.panel = &window.getUpdater();
        drainMessages();
    }

    const view::Updater& panel() const { return window.getUpdater(); }

    /** Delivers a message to the window the way the controller posts it. */
    void deliver (message::BaseMessage* m) { testing_support::deliver (window, m); }

    WatchingController controller;
    view::MainUI window{&controller};
};

} // namespace

//==============================================================================
TEST_F (MainWindow, IsAFixedSizeCentredDocumentWindowShowingThePanel)
{
    expectCloseOnlyWindowOnDesktop (window, "Firmware Updater");

    EXPECT_EQ (window.getBounds(), centredOnPrimaryDisplay (650, 270));
    EXPECT_TRUE (window.isResizable());
    EXPECT_EQ (window.getBorderThickness(), juce::BorderSize<int> (4));

    int borders = 0, corners = 0;
    for (auto* child : window.getChildren())
    {
        borders += dynamic_cast<juce::ResizableBorderComponent*> (child) != nullptr ? 1 : 0;
        corners += dynamic_cast<juce::ResizableCornerComponent*> (child) != nullptr ? 1 : 0;
    }
    EXPECT_EQ (borders, 1);
    EXPECT_EQ (corners, 0);

    EXPECT_EQ (window.getContentComponent(), &panel());
    EXPECT_EQ (panel().getBounds(), juce::Rectangle<int> (4, 30, 642, 236));
    EXPECT_EQ (panel().getUpdateButton().getBounds(), juce::Rectangle<int> (538, 165, 94, 30));
    EXPECT_EQ (panel().getProgressBar().getBounds(), juce::Rectangle<int> (10, 165, 528, 30));

    // The panel's look is the application's look, the window's included.
    EXPECT_EQ (&window.getLookAndFeel(), &panel().getOwnLookAndFeel());
}

TEST_F (MainWindow, CannotBeResizedByItsBorderOrItsConstrainer)
{
    const auto original = window.getBounds();
    const auto size = original.withZeroOrigin();

    // Right edge outwards, bottom-right corner outwards, left edge inwards, top edge outwards.
    EXPECT_TRUE (dragInWindow (window, {size.getRight() - 2, size.getCentreY()}, {120, 0}));
    EXPECT_TRUE (dragInWindow (window, {size.getRight() - 2, size.getBottom() - 2}, {80, 90}));
    EXPECT_TRUE (dragInWindow (window, {1, size.getCentreY()}, {200, 0}));
    EXPECT_TRUE (dragInWindow (window, {size.getCentreX(), 1}, {0, -60}));
    EXPECT_EQ (window.getWidth(), 650);
    EXPECT_EQ (window.getHeight(), 270);

    auto* constrainer = window.getConstrainer();
    ASSERT_NE (constrainer, nullptr);
    constrainer->setBoundsForComponent (&window, original.withSize (900, 500), false, false, true, true);
    EXPECT_EQ (window.getWidth(), 650);
    EXPECT_EQ (window.getHeight(), 270);

    window.setBoundsConstrained (original.withSize (300, 150));
    EXPECT_EQ (window.getWidth(), 650);
    EXPECT_EQ (window.getHeight(), 270);
    EXPECT_EQ (panel().getBounds().getWidth(), 642);
}

//==============================================================================
TEST_F (MainWindow, PassesViewMessagesOnToThePanelInOrder)
{
    window.post (new message::ProductInfoResponse ("Verrano2 firmware 1.2.00"));
    window.post (new message::DeviceFound ("Verrano2 Boot"));
    window.post (new message::UpdateButtonDisable());
    window.post (new message::TextMessage ("first"));
    window.post (new message::TextMessage ("second"));
    window.post (new message::ProgressUpdate (0.25));
    drainMessages();

    EXPECT_EQ (panel().getProductInfoText(), "Verrano2 firmware 1.2.00");
    EXPECT_EQ (panel().getDeviceText(), "Device: Verrano2 Boot");
    EXPECT_FALSE (panel().getUpdateButton().isEnabled());
    EXPECT_EQ (panel().getStatusText(), "Status: second");
    EXPECT_EQ (panel().getProgressValue(), 0.25);
    EXPECT_EQ (window.getHelpWindow(), nullptr);
    EXPECT_TRUE (controller.received.empty());
}

TEST_F (MainWindow, DrawsAChangeThatComesAfterItHasStoodStill)
{
    if (paintsNeverReachTheScreen())
        GTEST_SKIP() << "the display reports no vertical blank, so nothing is painted";

    // The window stops its display-rate timer while it has nothing to draw; what
    // changes after that must still reach the screen at once. The counter sits over
    // the status line and sees only the paints the window really makes.
    PaintCounter counter;
    counter.setBounds (panel().getStatusLabel().getBounds());
    window.getContentComponent()->addAndMakeVisible (counter);

    ASSERT_TRUE (testing_support::pumpUntil ([&] { return counter.paints > 0; }, 5000));
    testing_support::pumpUntil ([] { return false; }, 300);
    const auto paintsWhileStill = counter.paints;

    deliver (new message::TextMessage ("Firmware upgrade successful"));

    EXPECT_TRUE (testing_support::pumpUntil ([&] { return counter.paints > paintsWhileStill; }, 2000));
    EXPECT_EQ (panel().getStatusText(), "Status: Firmware upgrade successful");
}

TEST_F (MainWindow, UnknownMessagesReachThePanelAndChangeNothing)
{
    deliver (new message::DeviceFound ("Verrano2"));
    deliver (new message::ProgressUpdate (0.5));
    const auto status = panel().getStatusText();
    const auto device = panel().getDeviceText();
    const auto product = panel().getProductInfoText();

    for (int code : {8, 9, 18, 22, 1000})
        deliver (new message::BaseMessage (code));

    deliver (new message::HelpRequest());
    deliver (new message::UpdateRequest());
    deliver (new message::SVNUpdate (1222, 3));
    deliver (new message::UpdateStatus (1));
    deliver (new message::BaseMessage (message::Code::helpResponse)); // the code without its text

    EXPECT_EQ (panel().getStatusText(), status);
    EXPECT_EQ (panel().getDeviceText(), device);
    EXPECT_EQ (panel().getProductInfoText(), product);
    EXPECT_EQ (panel().getProgressValue(), 0.5);
    EXPECT_TRUE (panel().getUpdateButton().isEnabled());
    EXPECT_EQ (window.getHelpWindow(), nullptr);
    EXPECT_EQ (countHelpWindowsOnDesktop(), 0);
    EXPECT_TRUE (controller.received.empty());
}

//==============================================================================
TEST_F (MainWindow, UpdateButtonEmptiesTheBarBeforeAskingForTheUpdate)
{
    deliver (new message::ProgressUpdate (0.7));

    ASSERT_TRUE (clickOn (panel().getUpdateButton()));
    EXPECT_EQ (panel().getProgressValue(), 0.0);
    drainMessages();

    EXPECT_EQ (controller.codes(), std::vector<int>{message::Code::updateRequest});
    EXPECT_EQ (controller.progressWhenUpdateWasPosted, std::vector<double>{0.0});
}

TEST_F (MainWindow, HelpButtonAsksForTheHelpTextOnly)
{
    deliver (new message::ProgressUpdate (0.4));

    ASSERT_TRUE (clickOn (panel().getHelpButton()));
    drainMessages();

    EXPECT_EQ (controller.codes(), std::vector<int>{message::Code::helpRequest});
    EXPECT_EQ (panel().getProgressValue(), 0.4);
    EXPECT_EQ (window.getHelpWindow(), nullptr); // it opens when the text comes back
}

//==============================================================================
TEST_F (MainWindow, HelpResponseOpensACentredHelpWindowWithTheText)
{
    deliver (new message::HelpResponse ("Hold the footswitch.\n\nPlug the pedal in."));

    auto* help = window.getHelpWindow();
    ASSERT_NE (help, nullptr);
    EXPECT_TRUE (help->isVisible());
    EXPECT_TRUE (help->isOnDesktop());
    EXPECT_EQ (help->getBounds(), centredOnPrimaryDisplay (550, 400));
    EXPECT_EQ (help->getHelpContent().getEditor().getText(), "Hold the footswitch.\n\nPlug the pedal in.");
    EXPECT_EQ (countHelpWindowsOnDesktop(), 1);
    EXPECT_TRUE (controller.received.empty());
}

TEST_F (MainWindow, SecondHelpResponseReplacesTheFirstWindowAfterTheNewOneIsUp)
{
    deliver (new message::HelpResponse (longHelpText()));
    auto* first = window.getHelpWindow();
    ASSERT_NE (first, nullptr);

    // The user enlarges the first window and scrolls down in it.
    const auto firstSize = first->getLocalBounds();
    ASSERT_TRUE (dragInWindow (*first, {firstSize.getRight() - 2, firstSize.getBottom() - 2}, {100, 80}));
    ASSERT_NE (first->getBounds(), centredOnPrimaryDisplay (550, 400));
    auto* firstViewport = viewportOf (first->getHelpContent().getEditor());
    ASSERT_NE (firstViewport, nullptr);
    firstViewport->setViewPosition (0, 400);
    ASSERT_GT (firstViewport->getViewPositionY(), 0);

    // When the first window goes, the second must already be on screen.
    struct DeletionWatcher : juce::ComponentListener
    {
        DeletionWatcher (const view::MainUI& w, const view::HelpWindow* old)
            : mainWindow (w)
            , first (old)
        {
        }

        void componentBeingDeleted (juce::Component&) override
        {
            auto* current = mainWindow.getHelpWindow();
            replacementWasShowing = current != nullptr && current != first && current->isShowing();
        }

        const view::MainUI& mainWindow;
        const view::HelpWindow* first;
        bool replacementWasShowing = false;
    } watcher (window, first);
    auto& firstOnDesktop = first->getPeer()->getComponent();
    firstOnDesktop.addComponentListener (&watcher);
    juce::Component::SafePointer<juce::Component> firstAlive (&firstOnDesktop);

    deliver (new message::HelpResponse (longHelpText()));

    EXPECT_TRUE (firstAlive == nullptr);
    EXPECT_TRUE (watcher.replacementWasShowing);
    EXPECT_EQ (countHelpWindowsOnDesktop(), 1);

    auto* second = window.getHelpWindow();
    ASSERT_NE (second, nullptr);
    EXPECT_TRUE (second->isVisible());
    EXPECT_EQ (second->getBounds(), centredOnPrimaryDisplay (550, 400));
    auto* secondViewport = viewportOf (second->getHelpContent().getEditor());
    ASSERT_NE (secondViewport, nullptr);
    EXPECT_EQ (secondViewport->getViewPositionY(), 0);
}

TEST_F (MainWindow, HelpAfterClosingTheHelpWindowOpensAFreshOne)
{
    deliver (new message::HelpResponse ("first text"));
    auto* first = window.getHelpWindow();
    ASSERT_NE (first, nullptr);

    ASSERT_TRUE (clickOn (*first->getCloseButton()));
    drainMessages();

    // Closed means hidden: the same window is still held, with its text.
    EXPECT_EQ (window.getHelpWindow(), first);
    EXPECT_FALSE (first->isVisible());
    EXPECT_EQ (first->getHelpContent().getEditor().getText(), "first text");
    EXPECT_TRUE (controller.received.empty());

    deliver (new message::HelpResponse ("second text"));

    auto* second = window.getHelpWindow();
    ASSERT_NE (second, nullptr);
    EXPECT_TRUE (second->isVisible());
    EXPECT_EQ (second->getHelpContent().getEditor().getText(), "second text");
    EXPECT_EQ (countHelpWindowsOnDesktop(), 1);
}

//==============================================================================
TEST_F (MainWindow, EveryCloseRequestPostsExactlyOneCloseRequest)
{
    ASSERT_TRUE (clickOn (*window.getCloseButton()));
    drainMessages();
    EXPECT_EQ (controller.codes(), std::vector<int>{message::Code::closeRequest});

    // The system's request to close the window takes the same way.
    window.getPeer()->handleUserClosingWindow();
    drainMessages();
    EXPECT_EQ (controller.codes(),
               (std::vector<int>{message::Code::closeRequest, message::Code::closeRequest}));

    window.getCloseButton()->triggerClick();
    drainMessages();
    EXPECT_EQ (controller.count (message::Code::closeRequest), 3u);
    EXPECT_EQ (controller.received.size(), 3u);

    // The window stays until the application quits.
    EXPECT_TRUE (window.isVisible());
    EXPECT_TRUE (window.isOnDesktop());
}

TEST (MainWindowLifetime, DeletingTheWindowTakesItsHelpWindowAndPanelAlong)
{
    RecordingListener controller;
    auto window = std::make_unique<view::MainUI> (&controller);
    window->post (new message::HelpResponse ("text"));
    drainMessages();
    ASSERT_EQ (countHelpWindowsOnDesktop(), 1);

    juce::Component::SafePointer<juce::Component> panel (window->getContentComponent());
    ASSERT_TRUE (panel != nullptr);
    window.reset();

    EXPECT_TRUE (panel == nullptr);
    EXPECT_EQ (countHelpWindowsOnDesktop(), 0);
    EXPECT_TRUE (controller.received.empty());
}
