#include "bench/Figure.h"

#include <iostream>

namespace bench
{

Figure Figure::measured (const juce::String& name, double value, const juce::String& unit, int decimals,
                         const juce::String& detail)
{
    Figure figure;
    figure.name = name;
    figure.value = value;
    figure.unit = unit;
    figure.decimals = decimals;
    figure.detail = detail;
    return figure;
}

Figure Figure::withTarget (const juce::String& name, double value, const juce::String& unit, int decimals,
                           double atMost, const juce::String& detail)
{
    auto figure = measured (name, value, unit, decimals, detail);
    figure.atMost = atMost;
    return figure;
}

juce::String Figure::format() const
{
    juce::String line;
    line << name << " = " << juce::String (value, decimals);

    if (unit.isNotEmpty())
        line << " " << unit;

    if (atMost.has_value())
        line << "  [target <= " << juce::String (*atMost, decimals) << (unit.isNotEmpty() ? " " + unit : "")
             << ": " << (meetsTarget() ? "met" : "MISSED") << "]";

    if (detail.isNotEmpty())
        line << "  (" << detail << ")";

    return line;
}

void Figure::print() const
{
    std::cout << format() << std::endl;
}

void Figure::printFailure (const juce::String& name, const juce::String& reason)
{
    std::cout << name << " = n/a  [FAILED: " << reason << "]" << std::endl;
}

} // namespace bench
