#pragma once

#include "midi/PortLayer.h"

namespace midi
{

/** An open JUCE MIDI input. Deleting it deletes the juce::MidiInput, which stops
    delivery and waits for a callback that is running. */
class JuceInputPort : public InputPort
{
public:
    /** Takes over an input that JUCE opened; `input` must not be null. */
    explicit JuceInputPort (std::unique_ptr<juce::MidiInput> input);

    void start() override;

private:
    std::unique_ptr<juce::MidiInput> input;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (JuceInputPort)
};

} // namespace midi
