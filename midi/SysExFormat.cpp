#include "midi/SysExFormat.h"

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

} // namespace midi
