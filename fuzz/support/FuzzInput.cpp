#include "support/FuzzInput.h"

namespace fuzzing
{

FuzzInput::FuzzInput (const std::uint8_t* bytes, std::size_t numBytes) noexcept
    : data (bytes)
    , size (bytes != nullptr ? numBytes : 0)
{
}

juce::uint8 FuzzInput::nextByte() noexcept
{
    return isEmpty() ? 0 : data[position++];
}

int FuzzInput::nextWord() noexcept
{
    const int low = nextByte();
    return low | (nextByte() << 8);
}

int FuzzInput::nextInRange (int low, int high) noexcept
{
    jassert (low <= high);
    return low + nextByte() % (high - low + 1);
}

juce::Array<juce::uint8> FuzzInput::nextBytes (int count)
{
    const auto available =
        static_cast<int> (juce::jmin (remaining(), static_cast<std::size_t> (juce::jmax (0, count))));
    juce::Array<juce::uint8> bytes (data + position, available);
    position += static_cast<std::size_t> (available);
    return bytes;
}

juce::Array<juce::uint8> FuzzInput::rest()
{
    return nextBytes (static_cast<int> (
        juce::jmin (remaining(), static_cast<std::size_t> (std::numeric_limits<int>::max()))));
}

} // namespace fuzzing
