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

        /** An acknowledgement came, but outside the probe wait (after it, or before
            the probe went out): a pedal is there, yet none of its answers can be
            told from an answer to another probe. */
        bool answeredLate = false;

        /** More than one acknowledgement came to the one probe: one of them answered
            an earlier probe, so none tells that this pair heard this one. */
        bool answeredTwice = false;

        /** From the probe to the first acknowledgement, when one came. */
        double answerMs = 0.0;

        /** The revision the pedal reported, when it was asked and answered. */
        std::optional<juce::int32> revision;

        bool isPedal() const noexcept { return answered || answeredLate; }
    };

    juce::StringArray inputs;
    juce::StringArray outputs;
    std::vector<Pair> pairs;

    /** How many candidate pairs acknowledged, in time or late: one for each pedal on
        the system. */
    int countPedals() const
    {
        int count = 0;
        for (const auto& pair : pairs)
            count += pair.isPedal() ? 1 : 0;
        return count;
    }

    /** The pair to update: the only pedal, when it acknowledged in time and once. */
    std::optional<size_t> onlyPedal() const
    {
        if (countPedals() != 1)
            return std::nullopt;

        for (size_t k = 0; k < pairs.size(); ++k)
            if (pairs[k].answered && !pairs[k].answeredTwice)
                return k;

        return std::nullopt;
    }
};

} // namespace midi
