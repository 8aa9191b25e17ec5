#include "midi/SysExFormat.h"

#include <algorithm>

namespace midi
{

juce::Array<juce::uint8> deviceHeader (juce::uint8 modelByte)
{
    return {manufacturerId[0], manufacturerId[1], manufacturerId[2], juce::uint8{0x00}, modelByte};
}

juce::Array<juce::uint8> deviceCommand (juce::uint8 modelByte, juce::uint8 command)
{
    auto data = deviceHeader (modelByte);
    data.add (command);
    return data;
}

bool startsWithDeviceHeader (const juce::uint8* data, int size, juce::uint8 modelByte)
{
    if (data == nullptr || size < deviceHeaderSize)
        return false;

    const auto header = deviceHeader (modelByte);
    return std::equal (header.begin(), header.end(), data);
}

bool isAcknowledgement (const juce::uint8* data, int size, juce::uint8 modelByte)
{
    return startsWithDeviceHeader (data, size, modelByte) && size > deviceHeaderSize &&
           data[deviceHeaderSize] == acknowledgeCommand;
}

} // namespace midi
