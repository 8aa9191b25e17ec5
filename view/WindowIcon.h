#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace view
{

//==============================================================================
/**
    Gives a top-level window the updater's icon on the desktop, where docks and task
    switchers show it (on X11 the window's _NET_WM_ICON), so that the running updater
    looks like its menu entry.

    JUCE makes a new native window whenever a window's style changes; the icon is set
    again on each. The title bar keeps its look: the icon is not drawn in it.
*/
class WindowIcon : private juce::ComponentListener
{
public:
    /** Sets the icon on the window's native window at once (if it has one) and on
        every later one. The window must outlive this object. */
    explicit WindowIcon (juce::Component& windowToMark);
    ~WindowIcon() override;

    /** The updater's icon, drawn from the SVG the program carries, `size` pixels square. */
    static juce::Image render (int size);

private:
    void componentParentHierarchyChanged (juce::Component&) override;
    void applyToPeer();

    juce::Component& window;
    juce::Image image;

    JUCE_DECLARE_NON_COPYABLE (WindowIcon)
};

} // namespace view
