#pragma once

#include <juce_core/juce_core.h>

#include <cstddef>
#include <cstdint>

namespace fuzzing
{

/**
    Reads a fuzz input from the front, byte by byte, so that seed files can be
    written by hand: every choice a target makes takes the next byte (or two), and
    an input that runs out reads as zeros.
*/
class FuzzInput
{
public:
    FuzzInput (const std::uint8_t* data, std::size_t size) noexcept;

    bool isEmpty() const noexcept { return position >= size; }
    std::size_t remaining() const noexcept { return size - position; }

    /** The next byte, 0 once the input is used up. */
    juce::uint8 nextByte() noexcept;

    /** Two bytes, least significant first. */
    int nextWord() noexcept;

    /** A value from `low` to `high` inclusive, taken from the next byte. */
    int nextInRange (int low, int high) noexcept;

    /** Up to `count` further bytes; fewer when the input runs out. */
    juce::Array<juce::uint8> nextBytes (int count);

    /** Everything that is left. */
    juce::Array<juce::uint8> rest();

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
};

} // namespace fuzzing
