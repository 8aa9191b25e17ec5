#include "view/HelpContent.h"

namespace view
{

HelpContent::HelpContent (juce::String helpText)
{
    editor = std::make_unique<juce::TextEditor>();
    addAndMakeVisible (*editor);
    editor->setMultiLine (true, true);
    editor->setReadOnly (true);
    editor->setText (helpText, true);
}

HelpContent::~HelpContent() = default;

void HelpContent::resized()
{
    const auto firstRealSize = editor->getBounds().isEmpty();
    editor->setBounds (getLocalBounds());

    // The text went in while the editor had no size yet, and following its caret then
    // left the editor scrolled a little way down. Its first real size shows the text
    // from the top line; later resizes keep whatever the user scrolled to.
    if (firstRealSize && !editor->getBounds().isEmpty())
        for (auto* child : editor->getChildren())
            if (auto* viewport = dynamic_cast<juce::Viewport*> (child))
                viewport->setViewPosition (0, 0);
}

} // namespace view
