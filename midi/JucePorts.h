#pragma once

#include "midi/PortLayer.h"

namespace midi
{

/**
    The operating system's MIDI ports through JUCE's MidiInput and MidiOutput: the
    port layer of the shipped updater.

    Each call to getInputNames() or getOutputNames() lists the ports afresh and keeps
    that listing; openInput() and openOutput() open by the identifier of the port at
    the given position in the last listing, so that a position always refers to the
    port whose name was seen there. A position outside that listing gives null.
*/
class JucePorts : public PortLayer
{
public:
    JucePorts() = default;

    juce::StringArray getInputNames() override;
    juce::StringArray getOutputNames() override;

    std::unique_ptr<InputPort> openInput (int index, juce::MidiInputCallback& callback) override;
    std::unique_ptr<OutputPort> openOutput (int index) override;

private:
    juce::Array<juce::MidiDeviceInfo> inputs;
    juce::Array<juce::MidiDeviceInfo> outputs;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (JucePorts)
};

} // namespace midi
