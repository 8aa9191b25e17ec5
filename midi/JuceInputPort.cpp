#include "midi/JuceInputPort.h"

namespace midi
{

JuceInputPort::JuceInputPort (std::unique_ptr<juce::MidiInput> in)
    : input (std::move (in))
{
    jassert (input != nullptr);
}

void JuceInputPort::start()
{
    input->start();
}

} // namespace midi
