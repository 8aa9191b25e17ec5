#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace view_testing
{

/** Moves the mouse over the centre of `target`, presses and releases the left button,
    all through the window's peer as the windowing system would. False if `target`
    is not inside a window on the desktop. */
bool clickOn (const juce::Component& target);

/** Presses the left button at `start` (in the window's own coordinates), drags by
    `offset` in a few steps and releases, through the window's peer. False if the
    window is not on the desktop, or covers the whole screen (the system's pointer is
    moved out of the window first). */
bool dragInWindow (const juce::Component& window, juce::Point<int> start, juce::Point<int> offset);

} // namespace view_testing
