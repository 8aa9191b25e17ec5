#include "support/FuzzedMessages.h"

#include "midi/SysExFormat.h"

namespace fuzzing
{

namespace
{

juce::MidiMessage framed (const juce::Array<juce::uint8>& data)
{
    // The framing wants a valid pointer even for no data at all.
    static constexpr juce::uint8 nothing = 0;
    return juce::MidiMessage::createSysExMessage (data.isEmpty() ? &nothing : data.begin(), data.size());
}

} // namespace

juce::MidiMessage FuzzedMessages::read (FuzzInput& input, juce::uint8 modelByte)
{
    const auto kind = input.nextByte() % 4;
    const auto length = input.nextWord() % maxLength;

    switch (kind)
    {
        case 0:
        {
            auto bytes = input.nextBytes (length);
            if (bytes.isEmpty())
                bytes.add (0xf0);
            return juce::MidiMessage (bytes.begin(), bytes.size(), 0.0);
        }

        case 1:
            return framed (input.nextBytes (length));

        case 2:
        {
            auto data = midi::deviceHeader (modelByte);
            data.addArray (input.nextBytes (length));
            return framed (data);
        }

        default:
        {
            auto data = midi::deviceHeader (modelByte);
            data.removeLast (midi::deviceHeaderSize - length % midi::deviceHeaderSize);
            return framed (data);
        }
    }
}

std::vector<juce::MidiMessage> FuzzedMessages::readBurst (FuzzInput& input, juce::uint8 modelByte,
                                                          int maxMessages)
{
    const auto count = input.nextInRange (0, maxMessages);
    std::vector<juce::MidiMessage> burst;

    for (int i = 0; i < count && !input.isEmpty(); ++i)
        burst.push_back (read (input, modelByte));

    return burst;
}

} // namespace fuzzing
