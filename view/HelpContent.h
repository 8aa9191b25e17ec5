#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

namespace view
{

//==============================================================================
/**
    The help window's content: the update procedure in a read-only, word-wrapping
    text editor that covers the whole component and scrolls when the text is taller.
*/
class HelpContent : public juce::Component
{
public:
    /** Shows the given help text; it never changes afterwards. */
    explicit HelpContent (juce::String helpText);
    ~HelpContent() override;

    /** Keeps the editor over the whole component, so the text re-wraps with the window. */
    void resized() override;

    /** Read-only access for tests and the screenshot tool. */
    const juce::TextEditor& getEditor() const noexcept { return *editor; }

private:
    std::unique_ptr<juce::TextEditor> editor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (HelpContent)
};

} // namespace view
