#pragma once

#include "support/FuzzInput.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <vector>

namespace fuzzing
{

/**
    MIDI messages as they may come in from a port: read from a fuzz input as a kind
    byte, a length word (least significant byte first, below 1024) and that many bytes.

    Kinds (the kind byte modulo 4):
    - 0: the bytes as they stand, whatever they are (a lone F0 when there are none);
    - 1: a SysEx message framed around the bytes: F0, bytes, F7;
    - 2: a SysEx message of the device with the given model byte: F0, device header, bytes, F7;
    - 3: a SysEx message holding only the first (length modulo 5) bytes of that device
         header: too short to be the device's, though it agrees with its header.
*/
struct FuzzedMessages
{
    static constexpr int maxLength = 1024;

    static juce::MidiMessage read (FuzzInput& input, juce::uint8 modelByte);

    /** A count byte (modulo maxMessages + 1), then that many messages. */
    static std::vector<juce::MidiMessage> readBurst (FuzzInput& input, juce::uint8 modelByte,
                                                     int maxMessages);
};

} // namespace fuzzing
