#include "midi/JuceOutputPort.h"

namespace midi
{

JuceOutputPort::JuceOutputPort (std::unique_ptr<juce::MidiOutput> out)
    : output (std::move (out))
{
    jassert (output != nullptr);
}

void JuceOutputPort::sendMessageNow (const juce::MidiMessage& message)
{
    output->sendMessageNow (message);
}

} // namespace midi
