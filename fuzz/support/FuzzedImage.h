#pragma once

#include "firmware/FirmwareBaseClass.h"

#include <cstddef>

namespace fuzzing
{

/** A firmware record over bytes that are not the embedded image; it points into
    them and never owns them. */
class FuzzedImage final : public FirmwareBaseClass
{
public:
    FuzzedImage (const juce::uint8* bytes, std::size_t numBytes);
    ~FuzzedImage() = default;
};

} // namespace fuzzing
