#pragma once

#include "midi/PortLayer.h"

namespace app_testing
{

/** A system with no MIDI ports at all. */
class EmptyPorts final : public midi::PortLayer
{
public:
    juce::StringArray getInputNames() override { return {}; }
    juce::StringArray getOutputNames() override { return {}; }
    std::unique_ptr<midi::InputPort> openInput (int, juce::MidiInputCallback&) override { return nullptr; }
    std::unique_ptr<midi::OutputPort> openOutput (int) override { return nullptr; }
};

} // namespace app_testing
