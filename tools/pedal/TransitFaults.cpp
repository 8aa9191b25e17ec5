#include "tools/pedal/TransitFaults.h"

#include "tools/pedal/PedalProtocol.h"

namespace pedal
{

TransitFaults::TransitFaults (const PedalConfig& config)
    : lost (config.lostBlocks.resolve (config.seed, 1))
    , duplicated (config.duplicatedBlocks.resolve (config.seed, 2))
    , reordered (config.reorderedBlocks.resolve (config.seed, 3))
    , corruptedBlocks (config.corruptedBlocks.resolve (config.seed, 4))
{
}

bool TransitFaults::isActive() const
{
    return !(lost.empty() && duplicated.empty() && reordered.empty() && corruptedBlocks.empty());
}

void TransitFaults::pass (const juce::MidiMessage& message, std::vector<juce::MidiMessage>& arriving)
{
    const auto block = blockNumberOf (message);

    if (block && lost.count (*block) > 0)
        return;

    if (block && reordered.count (*block) > 0 && !heldBack)
    {
        heldBack = message;
        return;
    }

    const bool corrupt = block && corruptedBlocks.count (*block) > 0;
    arriving.push_back (corrupt ? corrupted (message) : message);

    if (block && duplicated.count (*block) > 0)
        arriving.push_back (arriving.back());

    if (heldBack)
    {
        arriving.push_back (*heldBack);
        heldBack.reset();
    }
}

std::optional<int> TransitFaults::blockNumberOf (const juce::MidiMessage& message)
{
    if (!isBlockPackage (message))
        return std::nullopt;

    // The first group of the packed data carries the two bytes of the block number.
    const auto* packed = message.getSysExData() + packedDataOffset;
    const auto number = unpackSevenBit (packed, 3);
    return number[0] | (number[1] << 8);
}

juce::MidiMessage TransitFaults::corrupted (const juce::MidiMessage& blockPackage)
{
    juce::MemoryBlock bytes (blockPackage.getRawData(), static_cast<size_t> (blockPackage.getRawDataSize()));

    // Raw byte 1 + 6 + 100 is a data byte (not a high-bits byte) of the packed block,
    // well inside the firmware payload; flipping its low bit keeps it a valid data byte.
    constexpr size_t position = 1 + packedDataOffset + 100;
    bytes[position] = static_cast<char> (bytes[position] ^ 0x01);
    return juce::MidiMessage (bytes.getData(), static_cast<int> (bytes.getSize()));
}

} // namespace pedal
