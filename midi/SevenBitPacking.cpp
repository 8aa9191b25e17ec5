#include "midi/SevenBitPacking.h"

namespace midi
{

juce::Array<juce::uint8> SevenBitPacking::unpack (const juce::uint8* packed, int numPacked)
{
    juce::Array<juce::uint8> out;
    if (packed == nullptr || numPacked <= 0)
        return out;

    out.ensureStorageAllocated (numPacked - (numPacked + 7) / 8);

    for (int group = 0; group < numPacked; group += 8)
    {
        const auto highBits = packed[group];
        const int count = juce::jmin (7, numPacked - group - 1);

        for (int k = 0; k < count; ++k)
        {
            const auto low = static_cast<juce::uint8> (packed[group + 1 + k]);
            const bool top = (highBits >> (6 - k)) & 1;
            out.add (static_cast<juce::uint8> (top ? (low | 0x80) : low));
        }
    }
    return out;
}

juce::Array<juce::uint8> SevenBitPacking::pack (const juce::uint8* data, int numBytes)
{
    juce::Array<juce::uint8> out;
    if (data == nullptr || numBytes <= 0)
        return out;

    for (int start = 0; start < numBytes; start += 7)
    {
        const int count = juce::jmin (7, numBytes - start);
        juce::uint8 highBits = 0;

        for (int k = 0; k < count; ++k)
            if (data[start + k] & 0x80)
                highBits = static_cast<juce::uint8> (highBits | (1 << (6 - k)));

        out.add (highBits);
        for (int k = 0; k < count; ++k)
            out.add (static_cast<juce::uint8> (data[start + k] & 0x7f));
    }
    return out;
}

std::optional<juce::int32> decodeRevision (const juce::Array<juce::uint8>& replyData)
{
    const int numPacked = replyData.size() - replyHeaderSize;
    if (numPacked <= 0)
        return std::nullopt;

    const auto bytes = SevenBitPacking::unpack (replyData.begin() + replyHeaderSize, numPacked);
    if (bytes.size() < 4)
        return std::nullopt;

    const auto value = static_cast<juce::uint32> (bytes[0]) | (static_cast<juce::uint32> (bytes[1]) << 8) |
                       (static_cast<juce::uint32> (bytes[2]) << 16) |
                       (static_cast<juce::uint32> (bytes[3]) << 24);
    return static_cast<juce::int32> (value);
}

} // namespace midi
