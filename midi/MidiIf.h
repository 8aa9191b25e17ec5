#pragma once

#include <juce_core/juce_core.h>

namespace midi
{

/** The MIDI transport as the downloader sees it. None of these may be called from
    the MIDI input thread. */
class MidiIf
{
public:
    virtual ~MidiIf() = default;

    /** Probes every input/output pair of exactly equal name with the device probe.
        True, with the pedal's pair left open, when exactly one pedal acknowledged;
        false, with nothing open, when none or more than one did. */
    virtual bool findDevice (int modelByte) = 0;

    /** Closes both ports; safe when nothing is open. */
    virtual void closeDevice() = 0;

    /** Writes the open input port's name (empty when closed) into `name`. */
    virtual void getDeviceName (juce::String& name) = 0;

    /** Sends `request` and waits up to `maxPauses` pauses of 10 ms for the pedal's
        reply; on success `reply` holds the reply's data bytes. */
    virtual bool sendAndReceive (const juce::Array<juce::uint8>& request, juce::Array<juce::uint8>& reply,
                                 int maxPauses) = 0;

    /** Sends one SysEx message: bytes beginning with F0 unchanged, anything else
        framed with F0 ... F7. False, with nothing sent, when no device is open. */
    virtual bool sendSysEx (const juce::Array<juce::uint8>& message) = 0;

    /** How many pedals acknowledged the last findDevice()'s probe (0 before any, and
        after a search cut short by a stop request). */
    virtual int getNumAnswered() = 0;
};

} // namespace midi
