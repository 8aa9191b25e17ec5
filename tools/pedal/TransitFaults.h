#pragma once

#include "tools/pedal/PedalConfig.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <optional>
#include <set>
#include <vector>

namespace pedal
{

/**
    The faults of the cable between the updater and the pedal: firmware blocks
    lost, duplicated, reordered or corrupted on their way in. Blocks are recognised
    by the number they carry; every other message passes unchanged.

    Not thread-safe: the pedal calls it under its own queue lock.
*/
class TransitFaults
{
public:
    TransitFaults (const PedalConfig& config);

    /** Passes one message through the link and appends what reaches the pedal, in
        order of arrival: nothing, the message, or a message held back before it. */
    void pass (const juce::MidiMessage& message, std::vector<juce::MidiMessage>& arriving);

    /** True when any block fault is chosen. */
    bool isActive() const;

    /** The number a block package carries; nothing for any other message. */
    static std::optional<int> blockNumberOf (const juce::MidiMessage& message);

    /** The same block package with one bit of its firmware data flipped. */
    static juce::MidiMessage corrupted (const juce::MidiMessage& blockPackage);

private:
    std::set<int> lost, duplicated, reordered, corruptedBlocks;
    std::optional<juce::MidiMessage> heldBack;
};

} // namespace pedal
