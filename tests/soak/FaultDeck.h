#pragma once

#include "SoakSettings.h"

#include <juce_core/juce_core.h>

#include <functional>
#include <vector>

namespace soak
{

/** One fault of a real setup, as pedal settings for the simulated pedal. */
struct Fault
{
    juce::String name;

    /** The pedal settings that play the fault: several settings share one key
        (ack, revision, restart-ms, ...), and two faults of one key are never combined. */
    juce::String key;

    /** True when the fault cannot break an update: by the pedal's documented behaviour
        and the updater's fixed waits, an update with it (and nothing worse) succeeds. */
    bool harmless = false;

    /** Builds the settings text; timings scale with the run's settings. */
    std::function<juce::String (juce::Random&, const SoakSettings&)> settings;
};

/**
    Every fault a setup can play, dealt like cards from a seeded, shuffled deck so
    that each is played about equally often, and now and then two of them at once.
*/
class FaultDeck
{
public:
    /** What one run plays. */
    struct Draw
    {
        juce::StringArray names;
        juce::String settings;

        /** Every fault of the draw is harmless: the update must succeed. */
        bool harmless = true;
    };

    explicit FaultDeck (juce::int64 seed);

    /** The next fault, sometimes with a second one of another key; an empty settings
        text means a good pedal. */
    Draw next (const SoakSettings& settings);

    /** Every fault in the deck. */
    const std::vector<Fault>& getFaults() const { return faults; }

    /** The whole catalogue of faults. */
    static std::vector<Fault> catalogue();

private:
    const Fault& deal();

    std::vector<Fault> faults;
    std::vector<size_t> order;
    size_t position = 0;
    juce::Random random;
};

} // namespace soak
