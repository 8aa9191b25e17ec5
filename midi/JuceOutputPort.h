#pragma once

#include "midi/PortLayer.h"

namespace midi
{

/** An open JUCE MIDI output. */
class JuceOutputPort : public OutputPort
{
public:
    /** Takes over an output that JUCE opened; `output` must not be null. */
    explicit JuceOutputPort (std::unique_ptr<juce::MidiOutput> output);

    /** Hands the message to the driver at once; the driver reports no errors. */
    void sendMessageNow (const juce::MidiMessage& message) override;

private:
    std::unique_ptr<juce::MidiOutput> output;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (JuceOutputPort)
};

} // namespace midi
