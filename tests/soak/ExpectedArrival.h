#pragma once

#include "tools/pedal/PedalConfig.h"

#include <juce_core/juce_core.h>

#include <vector>

namespace soak
{

/**
    What a pedal should have received from one whole image sent in order, once the
    faults in transit of its configuration (lost, duplicated, reordered blocks) have
    done their work: the block numbers its boot loader stored, in order, and how
    many firmware packages it counted.
*/
class ExpectedArrival
{
public:
    std::vector<int> blockOrder;
    int packages = 0;

    /** `image` holds the firmware packages in the order the updater sends them. */
    static ExpectedArrival of (const std::vector<juce::Array<juce::uint8>>& image,
                               const pedal::PedalConfig& config, pedal::PedalMode mode);

    /** The embedded image as the 492 SysEx messages it is made of, in order. */
    static const std::vector<juce::Array<juce::uint8>>& embeddedImage();
};

} // namespace soak
