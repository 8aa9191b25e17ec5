#pragma once

#include "view/HelpWindow.h"

namespace view_testing
{

/** How many help windows are on the desktop now, hidden ones included. */
int countHelpWindowsOnDesktop();

/** The scrolling viewport inside a text editor, or null. */
juce::Viewport* viewportOf (const juce::TextEditor& editor);

/** Checks what both windows share: the title, the background 0xFFEFF2F3, a close
    button only, and that the window is on the desktop and visible. */
void expectCloseOnlyWindowOnDesktop (const juce::DocumentWindow& window, const juce::String& title);

/** Where a window of the given size stands when centred on the primary display. */
juce::Rectangle<int> centredOnPrimaryDisplay (int width, int height);

/** True under Wine: JUCE on Windows draws a window only on the display's vertical blank,
    which Wine 8.0 never reports, so nothing a test changes reaches the screen there (real
    Windows reports it). Tests of what is painted skip themselves then. */
bool paintsNeverReachTheScreen();

/** Laid over part of a window, sees every paint the window really makes there: it
    counts them and lets clicks through. */
struct PaintCounter : juce::Component
{
    PaintCounter() { setInterceptsMouseClicks (false, false); }
    void paint (juce::Graphics&) override { ++paints; }
    int paints = 0;
};

} // namespace view_testing
