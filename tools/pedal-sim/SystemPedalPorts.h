#pragma once

#include "tools/pedal-sim/UsbGadget.h"
#include "tools/pedal-sim/WireRecording.h"
#include "tools/pedal/PedalPorts.h"
#include "tools/pedal/SimulatedPedal.h"

#include <juce_audio_devices/juce_audio_devices.h>

#include <atomic>
#include <memory>

namespace pedal
{

/**
    The pedal's ports as MIDI ports of the operating system, so that any program (the
    shipped updater among them) sees the simulated pedal like a real one.

    By default present() creates a virtual input and output device of the given name and
    withdraw() deletes both. Attached to an existing port pair instead, present() opens
    that pair and withdraw() closes it; with a USB gadget as well, present() first plugs
    the gadget in under the given name (the host then sees "<name> MIDI 1") and attaches
    to the gadget's own ports, and withdraw() unplugs it after closing them, so that a
    restart of the pedal is a USB device leaving and coming back.
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

    /** Makes present() open the existing input and output called `pairName` (as a USB
        MIDI gadget's "f_midi"), once the system lists them, instead of creating ports.
        Set before the pedal starts. */
    void attachTo (const juce::String& pairName) { attachedName = pairName; }

    /** The gadget that present() plugs in and withdraw() unplugs; none by default. Needs
        attachTo() with the gadget's port name. Set before the pedal starts; it must
        outlive close(). */
    void setUsbGadget (UsbGadget* newGadget) { gadget = newGadget; }

    /** True once the ports could not be made present (as without an ALSA sequencer). */
    bool hasFailed() const { return failed; }

    /** What went wrong when hasFailed(). */
    juce::String getFailure() const;

    /** Deletes the ports and stops handing messages to the receiver. */
    void close();

    //==============================================================================
    void present (const juce::String& name) override;
    void withdraw() override;
    void send (const juce::MidiMessage& message) override;

    /** How long present() waits for an attached pair to be listed. */
    static constexpr int attachWaitMs = 10000;

private:
    bool openPorts (const juce::String& name);
    bool openAttachedPorts();
    void fail (const juce::String& reason);
    void handleIncomingMidiMessage (juce::MidiInput* source, const juce::MidiMessage& message) override;

    // Guards the two ports. The input callback never takes it, so deleting the input
    // (which waits for a running callback) under this lock cannot deadlock.
    juce::CriticalSection lock;
    std::unique_ptr<juce::MidiInput> input;
    std::unique_ptr<juce::MidiOutput> output;
    std::atomic<SimulatedPedal*> receiver{nullptr};
    std::atomic<WireRecording*> recording{nullptr};
    juce::String attachedName;
    UsbGadget* gadget = nullptr;
    std::atomic<bool> failed{false};
    juce::CriticalSection failureLock;
    juce::String failure;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SystemPedalPorts)
};

} // namespace pedal
