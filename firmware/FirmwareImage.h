#pragma once

#include <juce_core/juce_core.h>

#include <cstddef>

/** Size of the embedded image: 492 SysEx messages, back to back. The build checks the
    image file against it (cmake/EmbedFirmware.cmake). */
constexpr std::size_t firmwareImageSize = 293528;

/** The one firmware image the updater carries, compiled in unchanged at build time. */
extern const juce::uint8 firmwareImage[firmwareImageSize];
