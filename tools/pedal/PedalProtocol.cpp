#include "tools/pedal/PedalProtocol.h"

#include "midi/SevenBitPacking.h"
#include "midi/SysExFormat.h"

#include <algorithm>

namespace pedal
{

bool isForPedal (const juce::MidiMessage& message)
{
    if (!message.isSysEx() || message.getSysExDataSize() < midi::deviceHeaderSize)
        return false;

    const auto header = midi::deviceHeader (modelByte);
    return std::equal (header.begin(), header.end(), message.getSysExData());
}

bool isBlockPackage (const juce::MidiMessage& message)
{
    return isForPedal (message) && message.getSysExDataSize() == midi::replyHeaderSize + packedBlockSize &&
           message.getSysExData()[midi::deviceHeaderSize] == blockCommand;
}

juce::MidiMessage pedalMessage (std::initializer_list<juce::uint8> body)
{
    return pedalMessage (juce::Array<juce::uint8> (body));
}

juce::MidiMessage pedalMessage (const juce::Array<juce::uint8>& body)
{
    auto data = midi::deviceHeader (modelByte);
    data.addArray (body);
    return juce::MidiMessage::createSysExMessage (data.getRawDataPointer(), data.size());
}

} // namespace pedal
