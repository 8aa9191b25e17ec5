#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_audio_devices/juce_audio_devices.h>

#include <memory>

namespace midi
{

/** An open MIDI input. Deleting it stops delivery and waits for a callback that
    is running at that moment. */
class InputPort
{
public:
    virtual ~InputPort() = default;

    /** Starts delivering complete incoming messages to the callback given at opening,
        on a thread other than the caller's. */
    virtual void start() = 0;
};

/** An open MIDI output. */
class OutputPort
{
public:
    virtual ~OutputPort() = default;

    /** Sends one complete message at once; returns when it has been handed on. */
    virtual void sendMessageNow (const juce::MidiMessage& message) = 0;
};

/**
    The operating system's MIDI ports, as far as the transport needs them: the
    names of all inputs and outputs in a stable order, and opening by position.
    The shipped updater uses JUCE's MIDI classes; tests and the demo build use an
    in-process simulation.
*/
class PortLayer
{
public:
    virtual ~PortLayer() = default;

    virtual juce::StringArray getInputNames() = 0;
    virtual juce::StringArray getOutputNames() = 0;

    /** Null when the port cannot be opened (gone, or refused by the system). */
    virtual std::unique_ptr<InputPort> openInput (int index, juce::MidiInputCallback& callback) = 0;
    virtual std::unique_ptr<OutputPort> openOutput (int index) = 0;
};

} // namespace midi
