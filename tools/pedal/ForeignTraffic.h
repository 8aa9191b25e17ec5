#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <vector>

namespace pedal
{

/**
    Messages that share the pedal's output with its answers in a troubled setup:
    other makers' and other models' SysEx, clock and notes, very short and
    malformed SysEx. Hands them out in a fixed rotation over the chosen kinds.
*/
class ForeignTraffic
{
public:
    /** `kinds`: PedalConfig::ForeignKind flags. */
    explicit ForeignTraffic (int kinds);

    bool isEmpty() const { return messages.empty(); }

    /** The next message of the rotation; must not be called when empty. */
    const juce::MidiMessage& next();

    /** Every message of one kind, in rotation order. */
    static std::vector<juce::MidiMessage> messagesOfKind (int kind);

private:
    std::vector<juce::MidiMessage> messages;
    size_t position = 0;
};

} // namespace pedal
