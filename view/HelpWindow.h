#pragma once

#include "view/HelpContent.h"
#include "view/WindowIcon.h"

#include <memory>

namespace view
{

//==============================================================================
/**
    A separate, non-modal window showing the update procedure.

    The main window builds a new one, centred and visible, for every help text it
    receives. Its close button only hides it; the main window deletes it when the
    next help window replaces it or when the main window itself goes.
*/
class HelpWindow : public juce::DocumentWindow
{
public:
    /** Builds the window at 550 x 400, centred on the screen, and shows it. */
    explicit HelpWindow (juce::String helpText);
    ~HelpWindow() override;

    /** Hides the window; it is neither deleted nor reported to anyone. */
    void closeButtonPressed() override;

    /** Read-only access for tests and the screenshot tool. */
    const HelpContent& getHelpContent() const noexcept { return *content; }

private:
    WindowIcon icon{*this};
    std::unique_ptr<HelpContent> content;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (HelpWindow)
};

} // namespace view
