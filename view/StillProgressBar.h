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
    still bar at 100 %. The bar is repainted when its percentage changes, so it grows
    in steps of one percent: during a transfer that is every tenth package or so,
    where repainting at each pixel the bar grows by (every second package) cost the
    window three times as many wake-ups, most of its CPU during the transfer.
*/
class StillProgressBar : public juce::ProgressBar
{
public:
    /** `valueToShow` is the fraction done, 0.0 to 1.0; it must outlive the bar. */
    explicit StillProgressBar (double& valueToShow);
    ~StillProgressBar() override;

    /** Shows the value's current state: a repaint, and a value change for
        accessibility clients, when its percentage differs from the one last painted. */
    void valueChanged();

    /** What the bar draws for `value`: the fraction, within 0.0 and 1.0. */
    static double fractionShown (double value) noexcept;

protected:
    void paint (juce::Graphics& g) override;

    /** Leaves out the base's 30 ms polling timer. */
    void visibilityChanged() override;

private:
    /** The whole percentage the bar shows for a value. */
    static int percentOf (double valueToShow) noexcept;

    const double& value;
    int paintedPercent = -1;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (StillProgressBar)
};

} // namespace view
