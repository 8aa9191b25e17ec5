#include "support/FuzzedImage.h"

namespace fuzzing
{

FuzzedImage::FuzzedImage (const juce::uint8* bytes, std::size_t numBytes)
    : FirmwareBaseClass ("Fuzzed", "0.0.00", 0)
{
    data = bytes;
    size = static_cast<juce::int64> (numBytes);
}

} // namespace fuzzing
