#include "WindowQueries.h"

#include <gtest/gtest.h>

#if JUCE_WINDOWS
#include <windows.h>
#endif

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

void expectCloseOnlyWindowOnDesktop (const juce::DocumentWindow& window, const juce::String& title)
{
    EXPECT_EQ (window.getName(), title);
    EXPECT_EQ (window.getBackgroundColour(), juce::Colour (0xFFEFF2F3));
    EXPECT_NE (window.getCloseButton(), nullptr);
    EXPECT_EQ (window.getMinimiseButton(), nullptr);
    EXPECT_EQ (window.getMaximiseButton(), nullptr);
    EXPECT_TRUE (window.isOnDesktop());
    EXPECT_TRUE (window.isVisible());
}

bool paintsNeverReachTheScreen()
{
#if JUCE_WINDOWS
    // Wine's ntdll exports its version; Windows' does not.
    if (auto* ntdll = GetModuleHandleW (L"ntdll.dll"))
        return GetProcAddress (ntdll, "wine_get_version") != nullptr;
#endif
    return false;
}

} // namespace view_testing
