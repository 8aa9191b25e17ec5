#pragma once

#include "tools/pedal-sim/WireRecording.h"
#include "tools/pedal/PedalPorts.h"
#include "tools/pedal/SimulatedPedal.h"

#include <juce_audio_devices/juce_audio_devices.h>

#include <atomic>
#include <memory>

namespace pedal
{

/**
    The pedal's ports as virtual MIDI ports of the operating system, so that any
    program (the shipped updater among them) sees the simulated pedal like a real
    one: present() creates an input and an output device of the given name,
    withdraw() deletes both.
*/
class SystemPedalPorts final : public PedalPorts, private juce::MidiInputCallback
{
public:
    SystemPedalPorts() = default;
    ~SystemPedalPorts() override;

    /** The pedal that gets what arrives on the input; set before the pedal starts. */
    void setReceiver (SimulatedPedal* pedal) { receiver = pedal; }

    /** Where everything that arrives on the input is recorded first; none by default.
        Set before the pedal starts; it must outlive close(). */
    void setRecording (WireRecording* newRecording) { recording = newRecording; }

    /** True once the system refused to create a port (as without an ALSA sequencer). */
    bool hasFailed() const { return failed; }

    /** Deletes the ports and stops handing messages to the receiver. */
    void close();

    //==============================================================================
    void present (const juce::String& name) override;
    void withdraw() override;
    void send (const juce::MidiMessage& message) override;

private:
    void handleIncomingMidiMessage (juce::MidiInput* source, const juce::MidiMessage& message) override;

    // Guards the two ports. The input callback never takes it, so deleting the input
    // (which waits for a running callback) under this lock cannot deadlock.
    juce::CriticalSection lock;
    std::unique_ptr<juce::MidiInput> input;
    std::unique_ptr<juce::MidiOutput> output;
    std::atomic<SimulatedPedal*> receiver{nullptr};
    std::atomic<WireRecording*> recording{nullptr};
    std::atomic<bool> failed{false};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SystemPedalPorts)
};

} // namespace pedal
