#pragma once

#include <juce_core/juce_core.h>

#include <optional>

namespace midi
{

/**
    The pedal's 7-in-8 packing of 8-bit data into SysEx data bytes: each group is a
    high-bits byte H followed by up to seven bytes d0..d6; dk gets bit 7 from bit
    (6 - k) of H. n packed bytes carry n - ceil (n / 8) bytes.
*/
struct SevenBitPacking
{
    /** Unpacks `numPacked` bytes; a short last group yields as many bytes as it holds. */
    static juce::Array<juce::uint8> unpack (const juce::uint8* packed, int numPacked);

    /** The inverse of unpack(): every output byte is below 80 hexadecimal. */
    static juce::Array<juce::uint8> pack (const juce::uint8* data, int numBytes);
};

/** Number of data bytes before the packed part of a reply: device header and reply code. */
constexpr int replyHeaderSize = 6;

/**
    The revision in a reply to the revision query: the first four unpacked bytes after
    the six header bytes, least significant first. Nothing when the reply is too
    short to hold four unpacked bytes (fewer than eleven data bytes).
*/
std::optional<juce::int32> decodeRevision (const juce::Array<juce::uint8>& replyData);

} // namespace midi
