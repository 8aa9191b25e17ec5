#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace pedal
{

/**
    How the simulated pedal shows itself on MIDI: an input and an output port of one
    name that appear and vanish together. Implemented by the in-process bus and by
    pedal-sim's ports of the operating system. The pedal calls these on its own
    thread (present() also once from start()).

    present() and withdraw() are called under the pedal's state lock, so that its
    ports and its reported state change as one: they must not wait for a thread
    that might be asking the pedal for its state. send() is called without it.
*/
class PedalPorts
{
public:
    virtual ~PedalPorts() = default;

    /** Makes the pedal's two ports appear under the given name. */
    virtual void present (const juce::String& name) = 0;

    /** Makes both ports vanish; ports opened on them go dead. */
    virtual void withdraw() = 0;

    /** Sends one message from the pedal to whoever listens on its output. */
    virtual void send (const juce::MidiMessage& message) = 0;
};

} // namespace pedal
