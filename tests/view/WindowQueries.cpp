#include "WindowQueries.h"

namespace view_testing
{

int countHelpWindowsOnDesktop()
{
    auto& desktop = juce::Desktop::getInstance();
    int count = 0;

    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (dynamic_cast<view::HelpWindow*> (desktop.getComponent (i)) != nullptr)
            ++count;

    return count;
}

juce::Viewport* viewportOf (const juce::TextEditor& editor)
{
    for (auto* child : editor.getChildren())
        if (auto* viewport = dynamic_cast<juce::Viewport*> (child))
            return viewport;

    return nullptr;
}

juce::Rectangle<int> centredOnPrimaryDisplay (int width, int height)
{
    const auto area = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay()->userArea;
    return {area.getCentreX() - width / 2, area.getCentreY() - height / 2, width, height};
}

} // namespace view_testing
