#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace pedal
{

// The Verrano2's side of the wire, written from the pedal's documentation and kept
// apart from the updater's own code: a simulated pedal that borrowed the updater's
// header or packing would agree with any mistake in them.

/** The model byte of the Verrano2; the last byte of its device header. */
constexpr juce::uint8 modelByte = 0x2e;

/** Data bytes 0..4 of every message to or from the pedal: maker 00 6C 51, 00, model byte. */
constexpr juce::uint8 deviceHeader[] = {0x00, 0x6c, 0x51, 0x00, modelByte};
constexpr int deviceHeaderSize = 5;

/** Commands after the device header. */
enum Command : juce::uint8
{
    probeCommand = 0x00,       ///< device probe
    acknowledgeCommand = 0x01, ///< the pedal's answer to the probe
    revisionCommand = 0x03,    ///< revision query, and the pedal's answer to it
    beginUpdateCommand = 0x51, ///< with 01: erase the application flash
    blockCommand = 0x52        ///< with 591 packed bytes: one block; with 01: end of image
};

/** Data bytes before the packed part of a block package or a revision answer. */
constexpr int packedDataOffset = deviceHeaderSize + 1;

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

/** 7-in-8 packing: groups of a high-bits byte H and up to seven bytes d0..d6, where
    dk takes bit 7 from bit (6 - k) of H. */
juce::Array<juce::uint8> packSevenBit (const juce::uint8* data, int numBytes);

/** The inverse of packSevenBit(); a short last group gives as many bytes as it holds. */
juce::Array<juce::uint8> unpackSevenBit (const juce::uint8* packed, int numPacked);

} // namespace pedal
