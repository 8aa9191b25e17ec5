#include "BorrowedPortLayer.h"

namespace midi_testing
{

BorrowedPortLayer::BorrowedPortLayer (midi::PortLayer& l)
    : layer (l)
{
}

juce::StringArray BorrowedPortLayer::getInputNames()
{
    return layer.getInputNames();
}

juce::StringArray BorrowedPortLayer::getOutputNames()
{
    return layer.getOutputNames();
}

std::unique_ptr<midi::InputPort> BorrowedPortLayer::openInput (int index, juce::MidiInputCallback& callback)
{
    return layer.openInput (index, callback);
}

std::unique_ptr<midi::OutputPort> BorrowedPortLayer::openOutput (int index)
{
    return layer.openOutput (index);
}

} // namespace midi_testing
