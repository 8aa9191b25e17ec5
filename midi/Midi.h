#pragma once

#include "midi/MidiIf.h"
#include "midi/PortLayer.h"
#include "midi/PortProbe.h"
#include "midi/SearchReport.h"
#include "midi/StepTrace.h"
#include "midi/Timing.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace midi
{

/**
    The MIDI transport: finds the pedal by probing input/output pairs of equal name,
    keeps its two ports open, sends SysEx to it and collects its replies.

    The waiting side (the GUI thread at start-up, the downloader's thread later) and
    the port layer's input thread meet only in deviceAnswered, replyReceived,
    awaitedReply and receiveBuffer; the buffer has a lock of its own, which is never
    held while a port is deleted or a message is sent.
*/
class Midi : public juce::MidiInputCallback, public MidiIf
{
public:
    /** Reaches the operating system's ports only through `ports`. */
    explicit Midi (std::unique_ptr<PortLayer> ports, Timing timing = {});

    /** Closes both ports. */
    ~Midi() override;

    //==============================================================================
    /** Probes every input/output pair of exactly equal name at once (see PortProbe)
        and gives each the probe wait to acknowledge. When exactly one pedal did, leaves
        its pair open and returns true; with none, or more than one (whose answers
        could not be told apart later), closes everything and returns false. A pair
        that cannot be opened counts as one that did not answer. On a juce::Thread
        that is asked to exit, the search stops, closes what it opened and returns
        false. */
    bool findDevice (int modelByte) override;

    /** Closes and deletes both ports and forgets the device name and any
        acknowledgement; safe when nothing is open. */
    void closeDevice() override;

    /** The open input port's name, empty when closed. */
    void getDeviceName (juce::String& name) override;

    /** Sends `request` (see sendSysEx()) and looks for the pedal's reply right after
        the send and after each of the first maxPauses - 1 pauses; on success `reply`
        holds the data bytes of the pedal's first answer to the request: its first
        message since the send whose reply code is the request's command byte (any
        message of the pedal, when the request carries no command). False, with
        `reply` untouched, when closed, when no reply came in time or when the
        calling juce::Thread is asked to exit. */
    bool sendAndReceive (const juce::Array<juce::uint8>& request, juce::Array<juce::uint8>& reply,
                         int maxPauses) override;

    /** Bytes beginning with F0 go out unchanged as one message; anything else is
        framed as F0, bytes, F7. False, with nothing sent, when closed. */
    bool sendSysEx (const juce::Array<juce::uint8>& message) override;

    int getNumAnswered() override { return numAnswered.load(); }

    //==============================================================================
    /** Searches like findDevice(), then asks each pedal that answered for its
        revision, one after another; leaves nothing open. For telling a user what the
        updater sees: it sends nothing but the probe and the revision query. */
    SearchReport survey (int modelByte);

    /** Where findDevice() describes what it saw; set before the transport is used. */
    void setStepTrace (StepTrace trace) { stepTrace = std::move (trace); }

    //==============================================================================
    /** Called on the port layer's input thread: an acknowledgement of the device probe
        sets deviceAnswered; the first other SysEx of the pedal that answers the
        request in hand fills the receive buffer; everything else is ignored. */
    void handleIncomingMidiMessage (juce::MidiInput* source, const juce::MidiMessage& message) override;

private:
    //==============================================================================
    bool isOpen() const noexcept { return midiInput != nullptr && midiOutput != nullptr; }

    /** Takes over the ports of the report's pair `pairIndex` from the search. */
    bool adopt (PortProbe& probe, size_t pairIndex, bool& stopped);

    void describe (const SearchReport& report) const;

    /** The reply code that answers `request` (its command byte), or -1 when it has none. */
    static int replyCodeFor (const juce::Array<juce::uint8>& request);

    //==============================================================================
    // The port layer comes first so that it outlives any port opened from it.
    std::unique_ptr<PortLayer> ports;
    const Timing timing;

    StepTrace stepTrace;

    std::atomic<int> modelByte{0};
    std::atomic<int> numAnswered{0};
    std::atomic<bool> deviceAnswered{false};
    std::atomic<bool> replyReceived{false};

    /** The reply code that answers the request in hand; -1 while any message of the
        pedal would do. Only one answer is kept, so that noise of the pedal or a second
        answer is never read as part of the reply. */
    std::atomic<int> awaitedReply{-1};
    juce::Array<juce::uint8> receiveBuffer;
    juce::String deviceName;
    // The input delivers to its listener, which passes the pedal's messages on to
    // this object; declared before the input so that the input is closed first.
    std::unique_ptr<ProbeListener> inputListener;
    std::unique_ptr<InputPort> midiInput;
    std::unique_ptr<OutputPort> midiOutput;

    /** Keeps an append by the input thread apart from the emptying and the copy-out. */
    std::mutex receiveLock;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Midi)
};

} // namespace midi
