// The pedal's 7-in-8 packing and the revision read from its reply, over any bytes:
// unpacking yields one byte per data byte present, each with its top bit from the
// right bit of its group's high-bits byte; packing is undone by unpacking; and the
// revision is the first four unpacked bytes after the reply's six header bytes,
// or nothing when the reply is too short to hold them.
//
// Input: the bytes, used as packed data, as data to pack and as a reply.

#include "midi/SevenBitPacking.h"
#include "support/FuzzCheck.h"
#include "support/FuzzTarget.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    const auto n = static_cast<int> (juce::jmin (size, static_cast<std::size_t> (1 << 20)));

    //==============================================================================
    const auto unpacked = midi::SevenBitPacking::unpack (data, n);
    FUZZ_CHECK (unpacked.size() == n - (n + 7) / 8);

    int out = 0;
    for (int group = 0; group < n; group += 8)
    {
        for (int k = 0; k < 7 && group + 1 + k < n; ++k)
        {
            const bool top = ((data[group] >> (6 - k)) & 1) != 0;
            const auto expected =
                static_cast<juce::uint8> (top ? (data[group + 1 + k] | 0x80) : data[group + 1 + k]);
            FUZZ_CHECK (unpacked[out++] == expected);
        }
    }

    //==============================================================================
    const auto packed = midi::SevenBitPacking::pack (data, n);
    FUZZ_CHECK (packed.size() == n + (n + 6) / 7);

    for (auto byte : packed)
        FUZZ_CHECK (byte < 0x80);

    FUZZ_CHECK (midi::SevenBitPacking::unpack (packed.begin(), packed.size()) ==
                juce::Array<juce::uint8> (data, n));

    //==============================================================================
    const juce::Array<juce::uint8> reply (data, n);
    const auto revision = midi::decodeRevision (reply);

    const int numPacked = n - midi::replyHeaderSize;
    const auto carried = numPacked > 0
                             ? midi::SevenBitPacking::unpack (data + midi::replyHeaderSize, numPacked)
                             : juce::Array<juce::uint8>();

    FUZZ_CHECK (revision.has_value() == (carried.size() >= 4));

    if (revision)
    {
        const auto value =
            static_cast<juce::uint32> (carried[0]) | (static_cast<juce::uint32> (carried[1]) << 8) |
            (static_cast<juce::uint32> (carried[2]) << 16) | (static_cast<juce::uint32> (carried[3]) << 24);
        FUZZ_CHECK (*revision == static_cast<juce::int32> (value));
    }

    return 0;
}
