#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace pedal
{

/** The model byte of the Verrano2; the last byte of its device header. */
constexpr juce::uint8 modelByte = 0x2e;

/** Commands of the boot loader, after the device header. */
enum FirmwareCommand : juce::uint8
{
    beginUpdateCommand = 0x51, ///< with 01: erase the application flash
    blockCommand = 0x52        ///< with 591 packed bytes: one block; with 01: end of image
};

/** Packed bytes of one block package: 517 bytes (block number and 515 stream bytes) packed 7-in-8. */
constexpr int packedBlockSize = 591;

/** True when the message is SysEx and its data begin with the Verrano2's device header. */
bool isForPedal (const juce::MidiMessage& message);

/** True for a block package: device header, 52 and 591 packed bytes. */
bool isBlockPackage (const juce::MidiMessage& message);

/** A SysEx message of the pedal: its device header, then `body`. */
juce::MidiMessage pedalMessage (std::initializer_list<juce::uint8> body);

/** A SysEx message of the pedal: its device header, then the given bytes. */
juce::MidiMessage pedalMessage (const juce::Array<juce::uint8>& body);

} // namespace pedal
