#include "midi/JucePorts.h"

#include "midi/JuceInputPort.h"
#include "midi/JuceOutputPort.h"

namespace midi
{

namespace
{
juce::StringArray namesOf (const juce::Array<juce::MidiDeviceInfo>& devices)
{
    juce::StringArray names;

    for (const auto& device : devices)
        names.add (device.name);

    return names;
}
} // namespace

//==============================================================================
juce::StringArray JucePorts::getInputNames()
{
    inputs = juce::MidiInput::getAvailableDevices();
    return namesOf (inputs);
}

juce::StringArray JucePorts::getOutputNames()
{
    outputs = juce::MidiOutput::getAvailableDevices();
    return namesOf (outputs);
}

std::unique_ptr<InputPort> JucePorts::openInput (int index, juce::MidiInputCallback& callback)
{
    if (!juce::isPositiveAndBelow (index, inputs.size()))
        return nullptr;

    // Null when the port has gone since the listing or the system refuses it.
    auto input = juce::MidiInput::openDevice (inputs.getReference (index).identifier, &callback);

    if (input == nullptr)
        return nullptr;

    return std::make_unique<JuceInputPort> (std::move (input));
}

std::unique_ptr<OutputPort> JucePorts::openOutput (int index)
{
    if (!juce::isPositiveAndBelow (index, outputs.size()))
        return nullptr;

    auto output = juce::MidiOutput::openDevice (outputs.getReference (index).identifier);

    if (output == nullptr)
        return nullptr;

    return std::make_unique<JuceOutputPort> (std::move (output));
}

} // namespace midi
