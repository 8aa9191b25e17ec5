#pragma once

#include <juce_core/juce_core.h>

#include <array>

namespace pedal
{

/**
    The CRC-32 that guards the firmware payload: the zlib / IEEE 802.3 polynomial
    (reflected, EDB88320), initial value and final mask FFFFFFFF, from a 256-entry table.
*/
class Crc32
{
public:
    Crc32() = default;

    /** Adds bytes to the running checksum. */
    void update (const juce::uint8* data, size_t numBytes) noexcept;

    /** The checksum of everything added so far. */
    juce::uint32 getValue() const noexcept { return ~state; }

    /** The checksum of one block of bytes. */
    static juce::uint32 of (const juce::uint8* data, size_t numBytes) noexcept;

private:
    static const std::array<juce::uint32, 256>& table() noexcept;

    juce::uint32 state = 0xffffffffu;
};

} // namespace pedal
