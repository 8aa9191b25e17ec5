#include "tools/pedal/ForeignTraffic.h"

#include "tools/pedal/PedalConfig.h"
#include "tools/pedal/PedalProtocol.h"

namespace pedal
{

namespace
{

juce::MidiMessage sysEx (std::initializer_list<juce::uint8> data)
{
    juce::Array<juce::uint8> raw{juce::uint8{0xf0}};
    raw.addArray (data);
    raw.add (0xf7);
    return juce::MidiMessage (raw.getRawDataPointer(), raw.size());
}

} // namespace

ForeignTraffic::ForeignTraffic (int kinds)
{
    for (int kind = 1; kind < PedalConfig::foreignAll; kind <<= 1)
        if ((kinds & kind) != 0)
            for (auto& m : messagesOfKind (kind))
                messages.push_back (m);
}

const juce::MidiMessage& ForeignTraffic::next()
{
    jassert (!messages.empty());
    const auto& m = messages[position];
    position = (position + 1) % messages.size();
    return m;
}

std::vector<juce::MidiMessage> ForeignTraffic::messagesOfKind (int kind)
{
    switch (kind)
    {
        case PedalConfig::foreignMaker:
            // An acknowledgement and a revision reply in the pedal's shape, from another maker.
            return {sysEx ({0x00, 0x20, 0x33, 0x00, modelByte, 0x01}),
                    sysEx ({0x00, 0x20, 0x33, 0x00, modelByte, 0x03, 0x00, 0x46, 0x09, 0x00, 0x00}),
                    sysEx ({0x43, 0x10, 0x4c, 0x00, 0x00, 0x7e, 0x00})};

        case PedalConfig::foreignModel:
            return {sysEx ({0x00, 0x6c, 0x51, 0x00, static_cast<juce::uint8> (modelByte + 1), 0x01}),
                    sysEx ({0x00, 0x6c, 0x51, 0x00, static_cast<juce::uint8> (modelByte + 1), 0x03, 0x00,
                            0x46, 0x09, 0x00, 0x00})};

        case PedalConfig::foreignClock:
            return {juce::MidiMessage::midiClock(), juce::MidiMessage (0xfe)};

        case PedalConfig::foreignNotes:
            return {juce::MidiMessage::noteOn (1, 60, static_cast<juce::uint8> (100)),
                    juce::MidiMessage::noteOff (1, 60)};

        case PedalConfig::foreignShort:
            // Empty, and the first one to four bytes of the device header.
            return {sysEx ({}), sysEx ({0x00}), sysEx ({0x00, 0x6c}), sysEx ({0x00, 0x6c, 0x51, 0x00})};

        case PedalConfig::foreignMalformed:
            return {pedalMessage ({}), pedalMessage ({0x7f, 0x01, 0x02})};

        default:
            return {};
    }
}

} // namespace pedal
