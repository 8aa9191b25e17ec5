#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace view
{

//==============================================================================
/**
    The update's progress bar: the framework's bar, drawn by the application's look,
    but still whenever its value is.

    juce::ProgressBar polls its value on a 30 ms timer for as long as it is visible
    and, at 1.0 and above, repaints on every tick to animate "busy" stripes: a bar
    that has finished would go on looking like work in progress, and the window would
    never rest. This bar runs no timer. Its owner calls valueChanged() after changing
    the value; the bar then repaints once. A value of 1.0 or more is drawn as a full,
    still bar at 100 %. A change too small to move the bar by a whole pixel or the
    percentage by one is not painted: during a transfer each package moves the bar
    by about half a pixel.
*/
class StillProgressBar : public juce::ProgressBar
{
public:
    /** `valueToShow` is the fraction done, 0.0 to 1.0; it must outlive the bar. */
    explicit StillProgressBar (double& valueToShow);
    ~StillProgressBar() override;

    /** Shows the value's current state: a repaint, and a value change for
        accessibility clients, when the bar's length in pixels or its percentage
        differs from what was last painted. */
    void valueChanged();

    /** What the bar draws for `value`: the fraction, within 0.0 and 1.0. */
    static double fractionShown (double value) noexcept;

protected:
    void paint (juce::Graphics& g) override;

    /** Leaves out the base's 30 ms polling timer. */
    void visibilityChanged() override;

private:
    /** What the bar shows for a value: its length in whole pixels and its percentage. */
    struct Appearance
    {
        int length = -1;
        int percent = -1;
        bool operator== (const Appearance& other) const
        {
            return length == other.length && percent == other.percent;
        }
    };

    Appearance appearanceOf (double valueToShow) const;

    const double& value;
    Appearance painted;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (StillProgressBar)
};

} // namespace view
