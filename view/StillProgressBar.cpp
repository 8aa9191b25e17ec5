#include "view/StillProgressBar.h"

#include <cmath>

namespace view
{

StillProgressBar::StillProgressBar (double& valueToShow)
    : juce::ProgressBar (valueToShow)
    , value (valueToShow)
{
}

StillProgressBar::~StillProgressBar() = default;

//==============================================================================
void StillProgressBar::valueChanged()
{
    if (percentOf (value) == paintedPercent)
        return;

    repaint();

    if (auto* handler = getAccessibilityHandler())
        handler->notifyAccessibilityEvent (juce::AccessibilityEvent::valueChanged);
}

int StillProgressBar::percentOf (double valueToShow) noexcept
{
    return juce::roundToInt (fractionShown (valueToShow) * 100.0);
}

double StillProgressBar::fractionShown (double valueToShow) noexcept
{
    // A failed reconnection leaves the value a rounding step above 1.0; it is still a full bar.
    if (std::isnan (valueToShow))
        return 0.0;
    return juce::jlimit (0.0, 1.0, valueToShow);
}

void StillProgressBar::paint (juce::Graphics& g)
{
    const auto fraction = fractionShown (value);
    paintedPercent = percentOf (value);
    const auto text = juce::String (paintedPercent) + "%";

    // The look draws 1.0 as an endless "busy" animation. The largest value below 1.0
    // fills the same pixels (its bar is width - 2 wide once rounded to float), still.
    const auto drawn = fraction < 1.0 ? fraction : std::nextafter (1.0, 0.0);

    getLookAndFeel().drawProgressBar (g, *this, getWidth(), getHeight(), drawn, text);
}

void StillProgressBar::visibilityChanged()
{
    // Nothing to start: the bar is repainted when its owner changes the value.
}

} // namespace view
