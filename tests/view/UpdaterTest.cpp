// The updater panel on its own, sized as inside the main window: children, layout
// and its reaction to each view message delivered through the message loop.
#include "view/Updater.h"
#include "WindowQueries.h"
#include "support/MessagePump.h"
#include "support/RecordingListener.h"

#include <gmock/gmock.h>

#include <functional>

using testing_support::drainMessages;
using testing_support::RecordingListener;

namespace
{

/** Everything a view message may change on the panel. */
struct PanelState
{
    juce::String product, device, status;
    double progress = 0.0;
    bool updateEnabled = false;

    bool operator== (const PanelState& other) const
    {
        return product == other.product && device == other.device && status == other.status &&
               std::equal_to<double>() (progress, other.progress) && updateEnabled == other.updateEnabled;
    }
};

void PrintTo (const PanelState& s, std::ostream* os)
{
    *os << "{product \"" << s.product << "\", device \"" << s.device << "\", status \"" << s.status
        << "\", progress " << s.progress << ", update " << (s.updateEnabled ? "enabled" : "disabled") << "}";
}

/** The value the progress bar itself reads, through its accessibility interface; JUCE
    offers that only for components on the desktop. (JUCE's getters for accessibility
    and tooltips are not const, hence the casts here.) */
double valueShownByBar (const juce::ProgressBar& bar)
{
    auto* handler = const_cast<juce::ProgressBar&> (bar).getAccessibilityHandler();
    return handler != nullptr && handler->getValueInterface() != nullptr
               ? handler->getValueInterface()->getCurrentValue()
               : -1.0;
}

class UpdaterPanel : public ::testing::Test
{
protected:
    UpdaterPanel() { panel.setSize (642, 236); }

    PanelState state() const
    {
        return {panel.getProductInfoText(), panel.getDeviceText(), panel.getStatusText(),
                panel.getProgressValue(), panel.getUpdateButton().isEnabled()};
    }

    /** Delivers the message to the panel the way the main window passes it on. */
    void deliver (message::BaseMessage* m) { testing_support::deliver (panel, m); }

    RecordingListener controller;
    view::Updater panel{&controller};
};

} // namespace

//==============================================================================
TEST_F (UpdaterPanel, ChildrenStandAtTheirPlacesForTheWindowsContentSize)
{
    EXPECT_EQ (panel.getUpdateButton().getBounds(), juce::Rectangle<int> (538, 165, 94, 30));
    EXPECT_EQ (panel.getProductInfoLabel().getBounds(), juce::Rectangle<int> (10, 15, 622, 50));
    EXPECT_EQ (panel.getProgressBar().getBounds(), juce::Rectangle<int> (10, 165, 528, 30));
    EXPECT_EQ (panel.getHelpButton().getBounds(), juce::Rectangle<int> (538, 2, 94, 30));
    EXPECT_EQ (panel.getDeviceLabel().getBounds(), juce::Rectangle<int> (10, 65, 622, 30));
    EXPECT_EQ (panel.getStatusLabel().getBounds(), juce::Rectangle<int> (10, 95, 622, 30));

    // The caption sits directly above the bar, left-aligned with it, within its width.
    const auto caption = panel.getProgressLabel().getBounds();
    EXPECT_EQ (caption.getBottom(), 165);
    EXPECT_EQ (caption.getX(), 10);
    EXPECT_GT (caption.getHeight(), 0);
    EXPECT_LE (caption.getWidth(), 528);
}

TEST_F (UpdaterPanel, SevenVisibleChildrenStackedInCreationOrder)
{
    const juce::Component* expected[] = {&panel.getUpdateButton(), &panel.getProductInfoLabel(),
                                         &panel.getProgressBar(),  &panel.getProgressLabel(),
                                         &panel.getHelpButton(),   &panel.getDeviceLabel(),
                                         &panel.getStatusLabel()};

    ASSERT_EQ (panel.getNumChildComponents(), 7);

    for (int i = 0; i < 7; ++i)
    {
        EXPECT_EQ (panel.getChildComponent (i), expected[i]) << "child " << i;
        EXPECT_TRUE (expected[i]->isVisible()) << "child " << i;
    }

    // The help button overlaps the product line's top right and lies in front of it.
    EXPECT_TRUE (panel.getHelpButton().getBounds().intersects (panel.getProductInfoLabel().getBounds()));
}

TEST_F (UpdaterPanel, StartsWithItsInitialTextsAndSettings)
{
    auto& update = const_cast<juce::TextButton&> (panel.getUpdateButton());
    auto& help = const_cast<juce::TextButton&> (panel.getHelpButton());

    EXPECT_EQ (update.getButtonText(), "update");
    EXPECT_EQ (update.getTooltip(), "click here to update the product");
    EXPECT_EQ (update.getConnectedEdgeFlags(), juce::Button::ConnectedOnLeft);
    EXPECT_TRUE (update.isEnabled());
    EXPECT_EQ (help.getButtonText(), "Help");
    EXPECT_EQ (help.getTooltip(), "click here to get help");
    EXPECT_EQ (help.getConnectedEdgeFlags(), 0);

    EXPECT_EQ (panel.getProductInfoText(), "This software updater will update your Firmware");
    EXPECT_EQ (panel.getDeviceText(), "Device: ");
    EXPECT_EQ (panel.getStatusText(), "");
    EXPECT_EQ (panel.getProgressLabel().getText(), "Update progress:");

    EXPECT_EQ (panel.getProgressValue(), 0.0);
    EXPECT_EQ (panel.getProgressBar().findColour (juce::ProgressBar::backgroundColourId),
               juce::Colour (0xFFFFFFFF));
}

//==============================================================================
TEST_F (UpdaterPanel, ProductInfoChangesOnlyTheProductLine)
{
    auto expected = state();
    expected.product = "Verrano2 firmware 1.2.00";

    deliver (new message::ProductInfoResponse ("Verrano2 firmware 1.2.00"));

    EXPECT_EQ (state(), expected);
}

TEST_F (UpdaterPanel, ButtonMessagesChangeOnlyTheUpdateButton)
{
    auto expected = state();
    expected.updateEnabled = false;
    deliver (new message::UpdateButtonDisable());
    EXPECT_EQ (state(), expected);

    expected.updateEnabled = true;
    deliver (new message::UpdateButtonEnable());
    EXPECT_EQ (state(), expected);
}

TEST_F (UpdaterPanel, TextMessageWritesTheStatusLineAndNeverMovesTheBar)
{
    panel.addToDesktop (0);
    deliver (new message::ProgressUpdate (0.42));

    auto expected = state();
    expected.status = "Status: Firmware upgrade successful";
    deliver (new message::TextMessage ("Firmware upgrade successful"));
    EXPECT_EQ (state(), expected);

    expected.status = "Status: ";
    deliver (new message::TextMessage (juce::String()));
    EXPECT_EQ (state(), expected);
    EXPECT_DOUBLE_EQ (valueShownByBar (panel.getProgressBar()), 0.42);
}

TEST_F (UpdaterPanel, ProgressUpdateMovesTheValueTheBarReads)
{
    panel.addToDesktop (0);
    for (double value : {0.3, 0.3, 0.6, 1.0})
    {
        auto expected = state();
        expected.progress = value;

        deliver (new message::ProgressUpdate (value));

        EXPECT_EQ (state(), expected);
        EXPECT_DOUBLE_EQ (valueShownByBar (panel.getProgressBar()), value);
    }
}

TEST_F (UpdaterPanel, AFinishedBarIsDrawnFullAndStandsStill)
{
    auto& bar = const_cast<juce::ProgressBar&> (panel.getProgressBar());
    const auto snapshot = [&bar] { return bar.createComponentSnapshot (bar.getLocalBounds()); };
    const auto samePixels = [] (const juce::Image& a, const juce::Image& b)
    {
        for (int y = 0; y < a.getHeight(); ++y)
            for (int x = 0; x < a.getWidth(); ++x)
                if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                    return false;
        return a.getBounds() == b.getBounds();
    };

    deliver (new message::ProgressUpdate (1.0));
    const auto full = snapshot();

    // The framework's look animates a bar at 1.0 from the clock; this one stays put.
    testing_support::pumpUntil ([] { return false; }, 200);
    EXPECT_TRUE (samePixels (snapshot(), full)) << "the finished bar moved";

    // Filled from end to end (the look's bar colour at both ends, not the background),
    // and a reconnection that gave up a rounding step above 1.0 looks the same.
    const auto background = bar.findColour (juce::ProgressBar::backgroundColourId);
    const auto lowRow = full.getHeight() - 6;
    EXPECT_NE (full.getPixelAt (20, lowRow), background);
    EXPECT_EQ (full.getPixelAt (full.getWidth() - 20, lowRow), full.getPixelAt (20, lowRow));

    deliver (new message::ProgressUpdate (1.0000000000000002));
    EXPECT_TRUE (samePixels (snapshot(), full));
}

TEST_F (UpdaterPanel, NothingRepaintsWhileNothingChanges)
{
    if (view_testing::paintsNeverReachTheScreen())
        GTEST_SKIP() << "the display reports no vertical blank, so nothing is painted";

    // Laid over the bar: painted whenever the bar is.
    view_testing::PaintCounter counter;
    counter.setBounds (panel.getProgressBar().getBounds());
    panel.addAndMakeVisible (counter);
    panel.setVisible (true);
    panel.addToDesktop (0);

    /** True once `ms` pass without a paint; the window's first exposures come in a few goes. */
    const auto settles = [&counter] (int ms)
    {
        for (int attempt = 0; attempt < 10; ++attempt)
        {
            counter.paints = 0;
            testing_support::pumpUntil ([] { return false; }, ms);
            if (counter.paints == 0)
                return true;
        }
        return false;
    };

    EXPECT_TRUE (settles (300)) << "the window never stopped repainting";

    for (double value : {0.5, 1.0})
    {
        deliver (new message::ProgressUpdate (value));
        EXPECT_TRUE (testing_support::pumpUntil ([&counter] { return counter.paints > 0; }, 1000))
            << "the new value was not shown";

        testing_support::pumpUntil ([] { return false; }, 50);
        counter.paints = 0;
        testing_support::pumpUntil ([] { return false; }, 300);
        EXPECT_EQ (counter.paints, 0) << "repainted with the bar standing at " << value;

        // Nor does a change that moves the bar by a pixel or two but not its percentage.
        deliver (new message::ProgressUpdate (value - 0.004));
        testing_support::pumpUntil ([] { return false; }, 100);
        EXPECT_EQ (counter.paints, 0) << "repainted for an invisible change below " << value;
    }

    panel.removeFromDesktop();
    panel.removeChildComponent (&counter);
}

TEST_F (UpdaterPanel, DeviceNotFoundChangesOnlyTheDeviceLine)
{
    deliver (new message::TextMessage ("Firmware upgrade failed. Please try again"));

    auto expected = state();
    expected.device = "Device: Not found";
    deliver (new message::DeviceNotFound());

    EXPECT_EQ (state(), expected);
}

TEST_F (UpdaterPanel, SeveralPedalsAskTheUserToConnectOnlyOne)
{
    auto expected = state();
    expected.device = "Device: 3 pedals found";
    expected.status =
        "Status: More than one pedal is connected. Connect only the one to update and restart the updater";
    deliver (new message::DeviceNotFound (3));

    EXPECT_EQ (state(), expected);
}

TEST_F (UpdaterPanel, DeviceOutsideBootModeReplacesEvenTheSuccessText)
{
    deliver (new message::TextMessage ("Firmware upgrade successful"));

    // The port of a pedal in normal operation, as Linux's USB audio driver names it.
    auto expected = state();
    expected.device = "Device: Verrano2 MIDI 1";
    expected.status = "Status: Device is not in boot mode";
    deliver (new message::DeviceFound ("Verrano2 MIDI 1"));

    EXPECT_EQ (state(), expected);
}

TEST_F (UpdaterPanel, DeviceInBootModeInAnyLetterCaseLeavesTheStatusLineAlone)
{
    deliver (new message::DeviceFound ("Verrano2"));
    ASSERT_EQ (panel.getStatusText(), "Status: Device is not in boot mode");

    for (auto name : {"Verrano2 BoOt", "BOOT loader", "Verrano2 Boot", "xbootx", "Verrano2 Boot MIDI 1"})
    {
        auto expected = state();
        expected.device = juce::String ("Device: ") + name;

        deliver (new message::DeviceFound (name));

        EXPECT_EQ (state(), expected) << name;
    }
}

TEST_F (UpdaterPanel, MessagesItDoesNotHandleChangeNothing)
{
    deliver (new message::ProductInfoResponse ("product"));
    deliver (new message::DeviceFound ("Verrano2"));
    deliver (new message::ProgressUpdate (0.5));
    const auto before = state();

    for (int code : {8, 9, 18, 22, 99, -1})
        deliver (new message::BaseMessage (code));

    deliver (new message::HelpRequest());
    deliver (new message::HelpResponse ("help"));
    deliver (new message::CloseRequest());
    deliver (new message::UpdateRequest());
    deliver (new message::ModelIdResponse (0x2E));
    deliver (new message::SVNUpdate (1222, 2));
    deliver (new message::UpdateStatus (0));
    deliver (new message::NextPackageResponse (0, 492, {0xF0, 0xF7}));

    // A known code on a message of another class carries no payload to read.
    for (int code : {5, 10, 13, 20})
        deliver (new message::BaseMessage (code));

    EXPECT_EQ (state(), before);
    EXPECT_TRUE (controller.received.empty());
}
