#pragma once

#include <juce_core/juce_core.h>

#include <optional>

namespace bench
{

/**
    One measured figure, printed as one line:

    @code
    auto.duration-over-floor = 1.0013  [target <= 1.005: met]  (22469.8 ms against 22440 ms)
    @endcode

    The name comes first so that scripts can pick lines with grep; the detail says
    what the value was made of.
*/
struct Figure
{
    juce::String name;
    double value = 0.0;
    juce::String unit;
    int decimals = 1;
    std::optional<double> atMost; ///< the target, where the figure has one
    juce::String detail;

    /** A figure without a target. */
    static Figure measured (const juce::String& name, double value, const juce::String& unit, int decimals,
                            const juce::String& detail);

    /** A figure that should not exceed `atMost`. */
    static Figure withTarget (const juce::String& name, double value, const juce::String& unit, int decimals,
                              double atMost, const juce::String& detail);

    bool meetsTarget() const { return !atMost.has_value() || value <= *atMost; }

    /** The line, without a line break. */
    juce::String format() const;

    /** Prints the line on standard output at once (the children of a run share it). */
    void print() const;

    /** A line for a figure that could not be measured, with the reason. */
    static void printFailure (const juce::String& name, const juce::String& reason);
};

} // namespace bench
