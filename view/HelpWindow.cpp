#include "view/HelpWindow.h"

namespace view
{

HelpWindow::HelpWindow (juce::String helpText)
    : juce::DocumentWindow (juce::String(), juce::Colour (0xFFEFF2F3), juce::DocumentWindow::closeButton,
                            true)
{
    content = std::make_unique<HelpContent> (std::move (helpText));
    setResizable (true, false);

    // The window keeps only a weak reference to its content, so `content` deletes it
    // exactly once, before the window base goes.
    setContentOwned (content.get(), false);

    centreWithSize (550, 400);
    setName ("Firmware Update Help");
    setVisible (true);
}

HelpWindow::~HelpWindow() = default;

void HelpWindow::closeButtonPressed()
{
    setVisible (false);
}

} // namespace view
