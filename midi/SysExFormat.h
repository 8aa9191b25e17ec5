#pragma once

#include <juce_core/juce_core.h>

namespace midi
{

/** The maker's SysEx manufacturer identifier; bytes 1 to 3 of every firmware package. */
constexpr juce::uint8 manufacturerId[3] = {0x00, 0x6C, 0x51};

/** Length of the device header: manufacturer id, 00, model byte. */
constexpr int deviceHeaderSize = 5;

/** Command bytes that follow the device header. */
enum Command : juce::uint8
{
    probeCommand = 0x00,
    acknowledgeCommand = 0x01,
    revisionQueryCommand = 0x03
};

/** Pauses of 10 ms the pedal gets to answer the revision query. */
constexpr int revisionReplyPauses = 20;

/** The five bytes that address the pedal and mark its answers. */
juce::Array<juce::uint8> deviceHeader (juce::uint8 modelByte);

/** Device header followed by one command byte: the data of a probe or a revision query. */
juce::Array<juce::uint8> deviceCommand (juce::uint8 modelByte, juce::uint8 command);

/** True when SysEx data (the bytes between F0 and F7) begin with the device header. */
bool startsWithDeviceHeader (const juce::uint8* data, int size, juce::uint8 modelByte);

/** True when SysEx data are the pedal's acknowledgement of the device probe: the
    device header, then 01; further bytes do not matter. */
bool isAcknowledgement (const juce::uint8* data, int size, juce::uint8 modelByte);

} // namespace midi
