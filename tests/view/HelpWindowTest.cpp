// The help window on its own: settings, the read-only wrapping editor, closing
// (hiding) and resizing.
#include "view/HelpWindow.h"
#include "MouseSimulation.h"
#include "WindowQueries.h"
#include "support/MessagePump.h"

#include <gmock/gmock.h>

using testing_support::drainMessages;
using namespace view_testing;

namespace
{

const juce::String helpText ("To update the firmware:\n\n"
                             "1. Unplug the pedal.\n"
                             "2. Hold the footswitch and plug the pedal in again; keep holding it until the "
                             "display shows the boot loader, then release it.\n"
                             "3. Press update and wait until the updater reports the result.\n");

class HelpWindowTest : public ::testing::Test
{
protected:
    HelpWindowTest() { drainMessages(); }

    /** The editor as the window's component tree holds it (typing needs it non-const). */
    juce::TextEditor& editor()
    {
        auto* content = window.getContentComponent();
        return *dynamic_cast<juce::TextEditor*> (content->getChildComponent (0));
    }

    view::HelpWindow window{helpText};
};

} // namespace

//==============================================================================
TEST_F (HelpWindowTest, OpensCentredAt550x400WithTheTextInAReadOnlyWrappingEditor)
{
    expectCloseOnlyWindowOnDesktop (window, "Firmware Update Help");
    EXPECT_TRUE (window.isResizable());
    EXPECT_EQ (window.getBounds(), centredOnPrimaryDisplay (550, 400));

    auto* content = window.getContentComponent();
    ASSERT_EQ (content, &window.getHelpContent());
    EXPECT_EQ (content->getBounds(), juce::Rectangle<int> (4, 30, 542, 366));

    const auto& shown = window.getHelpContent().getEditor();
    EXPECT_EQ (&editor(), &shown);
    EXPECT_EQ (shown.getBounds(), content->getLocalBounds());
    EXPECT_TRUE (shown.isMultiLine());
    EXPECT_TRUE (shown.isReadOnly());
    EXPECT_TRUE (shown.isVisible());
    EXPECT_TRUE (shown.getName().isEmpty());
    EXPECT_EQ (shown.getPasswordCharacter(), 0u);
    EXPECT_EQ (shown.getText(), helpText); // blank lines kept as they are
}

TEST_F (HelpWindowTest, TextCannotBeTypedPastedCutOrDeleted)
{
    juce::SystemClipboard::copyTextToClipboard ("pasted");
    auto& e = editor();
    e.setCaretPosition (5);

    e.keyPressed (juce::KeyPress ('x', {}, 'x'));
    e.keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
    e.keyPressed (juce::KeyPress (juce::KeyPress::backspaceKey));
    e.keyPressed (juce::KeyPress (juce::KeyPress::deleteKey));
    e.keyPressed (juce::KeyPress ('v', juce::ModifierKeys::commandModifier, 0));
    e.selectAll();
    e.keyPressed (juce::KeyPress ('x', juce::ModifierKeys::commandModifier, 0));
    e.paste();
    e.cut();

    EXPECT_EQ (e.getText(), helpText);
}

TEST_F (HelpWindowTest, CloseButtonOnlyHidesTheWindow)
{
    juce::Component::SafePointer<juce::Component> alive (&window);

    ASSERT_TRUE (clickOn (*window.getCloseButton()));
    drainMessages();
    EXPECT_FALSE (window.isVisible());

    window.setVisible (true);
    window.getPeer()->handleUserClosingWindow();
    drainMessages();
    EXPECT_FALSE (window.isVisible());

    EXPECT_TRUE (alive != nullptr);
    EXPECT_EQ (editor().getText(), helpText);
}

TEST_F (HelpWindowTest, BorderDragResizesAndTheTextReWraps)
{
    const auto heightBefore = editor().getTextHeight();
    const auto size = window.getLocalBounds();

    // Narrower by dragging the right edge in: the editor follows and the text wraps onto more lines.
    ASSERT_TRUE (dragInWindow (window, {size.getRight() - 2, size.getCentreY()}, {-250, 0}));
    EXPECT_EQ (window.getWidth(), 300);
    EXPECT_EQ (editor().getBounds(), window.getContentComponent()->getLocalBounds());
    EXPECT_EQ (editor().getWidth(), 292);
    EXPECT_GT (editor().getTextHeight(), heightBefore);
}

TEST_F (HelpWindowTest, CannotBeMadeSmallerThan128x128)
{
    const auto size = window.getLocalBounds();

    ASSERT_TRUE (dragInWindow (window, {size.getRight() - 2, size.getBottom() - 2}, {-500, -380}));

    EXPECT_EQ (window.getWidth(), 128);
    EXPECT_EQ (window.getHeight(), 128);
}

TEST (HelpWindowScrolling, LongTextOpensAtItsTopLineAndResizingKeepsTheUsersScroll)
{
    juce::String longText;
    for (int i = 1; i <= 120; ++i)
        longText << "Step " << i << ": hold the footswitch while plugging the pedal in.\n";

    view::HelpWindow window (longText);
    auto* viewport = viewportOf (window.getHelpContent().getEditor());
    ASSERT_NE (viewport, nullptr);
    EXPECT_TRUE (viewport->canScrollVertically());
    EXPECT_EQ (viewport->getViewPosition(), juce::Point<int>());

    viewport->setViewPosition (0, 300);
    const auto size = window.getLocalBounds();
    ASSERT_TRUE (dragInWindow (window, {size.getCentreX(), size.getBottom() - 2}, {0, 40}));

    EXPECT_EQ (window.getHeight(), 440);
    EXPECT_EQ (viewport->getViewPositionY(), 300);
}
