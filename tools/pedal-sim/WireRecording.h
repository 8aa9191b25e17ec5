#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <memory>

namespace pedal
{

/**
    What reached the pedal's input, byte for byte and in arrival order, written to a
    file as it arrives: complete messages back to back, so that a recording of an
    update reads like a .syx file and can be compared with the firmware image.
    Messages are taken as they came off the port, before any fault in transit.

    add() is called on the MIDI input thread only; each message is flushed at once,
    so that a recording stays whole even when pedal-sim is killed.
*/
class WireRecording
{
public:
    /** Replaces `file` with an empty recording. Check isOpen(). */
    explicit WireRecording (const juce::File& file);

    bool isOpen() const noexcept { return stream != nullptr; }

    void add (const juce::MidiMessage& message);

private:
    std::unique_ptr<juce::FileOutputStream> stream;

    JUCE_DECLARE_NON_COPYABLE (WireRecording)
};

} // namespace pedal
