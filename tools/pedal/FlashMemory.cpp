#include "tools/pedal/FlashMemory.h"

#include "tools/pedal/Crc32.h"

#include <algorithm>

namespace pedal
{

namespace
{

juce::uint32 readLE32 (const juce::uint8* p)
{
    return static_cast<juce::uint32> (p[0]) | (static_cast<juce::uint32> (p[1]) << 8) |
           (static_cast<juce::uint32> (p[2]) << 16) | (static_cast<juce::uint32> (p[3]) << 24);
}

juce::String listNumbers (const std::vector<int>& numbers)
{
    juce::StringArray items;
    for (auto n : numbers)
    {
        if (items.size() == 8)
        {
            items.add ("...");
            break;
        }
        items.add (juce::String (n));
    }
    return items.joinIntoString (" ");
}

} // namespace

FlashMemory::FlashMemory()
{
    erase();
}

void FlashMemory::erase()
{
    stream.assign (static_cast<size_t> (streamSize), 0xff);
    timesReceived.assign (static_cast<size_t> (numBlocks), 0);
    arrivalOrder.clear();
    malformed = 0;
}

bool FlashMemory::store (const juce::uint8* data, int size)
{
    if (data == nullptr || size != 2 + blockSize)
    {
        ++malformed;
        return false;
    }

    const int number = data[0] | (data[1] << 8);
    if (number >= numBlocks)
    {
        ++malformed;
        return false;
    }

    std::copy (data + 2, data + 2 + blockSize, stream.begin() + number * blockSize);
    ++timesReceived[static_cast<size_t> (number)];
    arrivalOrder.push_back (number);
    return true;
}

std::vector<int> FlashMemory::getDuplicates() const
{
    std::vector<int> result;
    for (int n = 0; n < numBlocks; ++n)
        if (timesReceived[static_cast<size_t> (n)] > 1)
            result.push_back (n);
    return result;
}

std::vector<int> FlashMemory::getMissing() const
{
    std::vector<int> result;
    for (int n = 0; n < numBlocks; ++n)
        if (timesReceived[static_cast<size_t> (n)] == 0)
            result.push_back (n);
    return result;
}

FlashMemory::CheckResult FlashMemory::check() const
{
    auto fail = [] (const juce::String& reason) { return CheckResult{false, reason, 0}; };

    if (malformed > 0)
        return fail (juce::String (malformed) + " malformed block package(s)");

    if (auto missing = getMissing(); !missing.empty())
        return fail ("missing blocks: " + listNumbers (missing));

    if (auto duplicates = getDuplicates(); !duplicates.empty())
        return fail ("duplicated blocks: " + listNumbers (duplicates));

    for (size_t i = 0; i < arrivalOrder.size(); ++i)
        if (arrivalOrder[i] != static_cast<int> (i))
            return fail ("block " + juce::String (arrivalOrder[i]) + " arrived in place of block " +
                         juce::String (i));

    const auto* header = stream.data();
    if (!std::equal (header, header + 4, "VRN2"))
        return fail ("bad magic");

    if (readLE32 (header + 8) != static_cast<juce::uint32> (payloadSize))
        return fail ("bad payload length " + juce::String (readLE32 (header + 8)));

    const auto expected = readLE32 (header + 12);
    const auto actual = Crc32::of (header + streamHeaderSize, static_cast<size_t> (payloadSize));
    if (actual != expected)
        return fail ("bad CRC-32 " +
                     juce::String::toHexString (static_cast<juce::int64> (actual)).paddedLeft ('0', 8));

    return {true, {}, static_cast<juce::int32> (readLE32 (header + 4))};
}

} // namespace pedal
