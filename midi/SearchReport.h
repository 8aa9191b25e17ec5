#pragma once

#include <juce_core/juce_core.h>

#include <optional>
#include <vector>

namespace midi
{

/**
    What one search for the pedal saw: the ports the system offers and, for each
    input that has an output of exactly its name (a candidate pair), whether the
    pedal's acknowledgement of the device probe came back on it, and how fast.
*/
struct SearchReport
{
    struct Pair
    {
        juce::String name;
        int input = -1;

        /** The outputs of the input's name, in list order. */
        juce::Array<int> outputs;

        /** The input and at least one of the outputs could be opened, and the probe went out. */
        bool probed = false;

        /** The pedal acknowledged within the probe wait. */
        bool answered = false;

        /** From the probe to the acknowledgement, when one came. */
        double answerMs = 0.0;

        /** The revision the pedal reported, when it was asked and answered. */
        std::optional<juce::int32> revision;
    };

    juce::StringArray inputs;
    juce::StringArray outputs;
    std::vector<Pair> pairs;

    /** How many candidate pairs acknowledged: one for each pedal on the system. */
    int countAnswered() const
    {
        int count = 0;
        for (const auto& pair : pairs)
            count += pair.answered ? 1 : 0;
        return count;
    }
};

} // namespace midi
