#pragma once

#include <juce_core/juce_core.h>

namespace testing_support
{

/**
    The data of the pedal's answer to the revision query, written out by hand from
    the pedal's documentation rather than with the updater's packing: the device
    header, 03, then the first `numBytes` bytes of the revision (least significant
    first) packed 7-in-8, a high-bits byte first whose bit (6 - k) is bit 7 of byte k.
    1222 (C6 04 00 00) gives 00 6C 51 00 2E 03 40 46 04 00 00.
*/
inline juce::Array<juce::uint8> revisionAnswer (juce::uint32 revision, int numBytes = 4,
                                                juce::uint8 modelByte = 0x2e)
{
    const juce::uint8 header[] = {0x00, 0x6c, 0x51, 0x00, modelByte, 0x03};
    juce::Array<juce::uint8> data (header, 6);
    int highBits = 0;

    for (int k = 0; k < numBytes; ++k)
        highBits |= static_cast<int> ((revision >> (8 * k + 7)) & 1u) << (6 - k);

    data.add (static_cast<juce::uint8> (highBits));

    for (int k = 0; k < numBytes; ++k)
        data.add (static_cast<juce::uint8> ((revision >> (8 * k)) & 0x7fu));

    return data;
}

} // namespace testing_support
