#pragma once

#include "midi/PortLayer.h"

namespace midi_testing
{

/** Hands a port layer that the test owns to a transport that wants to own one, so
    that the test can still look at the ports after the transport is gone. */
class BorrowedPortLayer : public midi::PortLayer
{
public:
    explicit BorrowedPortLayer (midi::PortLayer& layer);

    juce::StringArray getInputNames() override;
    juce::StringArray getOutputNames() override;
    std::unique_ptr<midi::InputPort> openInput (int index, juce::MidiInputCallback& callback) override;
    std::unique_ptr<midi::OutputPort> openOutput (int index) override;

private:
    midi::PortLayer& layer;
};

} // namespace midi_testing
