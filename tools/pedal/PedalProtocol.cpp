#include "tools/pedal/PedalProtocol.h"

#include <algorithm>

namespace pedal
{

bool isForPedal (const juce::MidiMessage& message)
{
    return message.isSysEx() && message.getSysExDataSize() >= deviceHeaderSize &&
           std::equal (std::begin (deviceHeader), std::end (deviceHeader), message.getSysExData());
}

bool isBlockPackage (const juce::MidiMessage& message)
{
    return isForPedal (message) && message.getSysExDataSize() == packedDataOffset + packedBlockSize &&
           message.getSysExData()[deviceHeaderSize] == blockCommand;
}

juce::MidiMessage pedalMessage (std::initializer_list<juce::uint8> body)
{
    return pedalMessage (juce::Array<juce::uint8> (body));
}

juce::MidiMessage pedalMessage (const juce::Array<juce::uint8>& body)
{
    juce::Array<juce::uint8> data (deviceHeader, deviceHeaderSize);
    data.addArray (body);
    return juce::MidiMessage::createSysExMessage (data.getRawDataPointer(), data.size());
}

juce::Array<juce::uint8> packSevenBit (const juce::uint8* data, int numBytes)
{
    juce::Array<juce::uint8> packed;

    for (int group = 0; group < numBytes; group += 7)
    {
        const auto count = std::min (7, numBytes - group);
        juce::uint8 highBits = 0;

        for (int k = 0; k < count; ++k)
            highBits = static_cast<juce::uint8> (highBits | ((data[group + k] >> 7) << (6 - k)));

        packed.add (highBits);
        for (int k = 0; k < count; ++k)
            packed.add (static_cast<juce::uint8> (data[group + k] & 0x7f));
    }
    return packed;
}

juce::Array<juce::uint8> unpackSevenBit (const juce::uint8* packed, int numPacked)
{
    juce::Array<juce::uint8> data;

    for (int group = 0; packed != nullptr && group < numPacked; group += 8)
    {
        const auto highBits = packed[group];
        const auto count = std::min (7, numPacked - group - 1);

        for (int k = 0; k < count; ++k)
            data.add (static_cast<juce::uint8> ((packed[group + 1 + k] & 0x7f) |
                                                (((highBits >> (6 - k)) & 1) << 7)));
    }
    return data;
}

} // namespace pedal
