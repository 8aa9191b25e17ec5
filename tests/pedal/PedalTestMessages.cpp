#include "PedalTestMessages.h"

#include <gtest/gtest.h>

#include "firmware/FirmwareImage.h"
#include "midi/SevenBitPacking.h"
#include "tools/pedal/PedalProtocol.h"

namespace pedal_test
{

std::vector<juce::MidiMessage> firmwarePackages()
{
    std::vector<juce::MidiMessage> packages;
    size_t start = 0;

    for (size_t i = 0; i < firmwareImageSize; ++i)
    {
        if (firmwareImage[i] == 0xf7)
        {
            packages.emplace_back (firmwareImage + start, static_cast<int> (i + 1 - start));
            start = i + 1;
        }
    }
    return packages;
}

juce::MidiMessage probe()
{
    const juce::uint8 bytes[] = {0xf0, 0x00, 0x6c, 0x51, 0x00, 0x2e, 0x00, 0xf7};
    return juce::MidiMessage (bytes, static_cast<int> (sizeof (bytes)));
}

juce::MidiMessage revisionQuery()
{
    const juce::uint8 bytes[] = {0xf0, 0x00, 0x6c, 0x51, 0x00, 0x2e, 0x03, 0xf7};
    return juce::MidiMessage (bytes, static_cast<int> (sizeof (bytes)));
}

std::optional<juce::int32> revisionIn (const juce::MidiMessage& reply)
{
    juce::Array<juce::uint8> data (reply.getSysExData(), reply.getSysExDataSize());
    return midi::decodeRevision (data);
}

pedal::PedalConfig configFor (const juce::String& settings)
{
    pedal::PedalConfig config;
    const auto result = config.apply (settings);
    EXPECT_TRUE (result.wasOk()) << result.getErrorMessage();
    return config;
}

} // namespace pedal_test
