#pragma once

#include "CallJournal.h"
#include "midi/MidiIf.h"

#include <atomic>
#include <deque>
#include <optional>

namespace downloader_test
{

/**
    A scripted MIDI transport. It journals every call; findDevice answers from a
    list of results, one per call (false once the list is used up), and
    sendAndReceive with one fixed reply or none.

    A call can be held, like a pedal that takes its time: the held call blocks
    until release() or until the calling thread is asked to stop, as the real
    transport's search does.
*/
class FakeMidi : public midi::MidiIf
{
public:
    explicit FakeMidi (CallJournal& journal);

    bool findDevice (int modelByte) override;
    void closeDevice() override;
    void getDeviceName (juce::String& name) override;
    bool sendAndReceive (const juce::Array<juce::uint8>& request, juce::Array<juce::uint8>& reply,
                         int maxPauses) override;
    bool sendSysEx (const juce::Array<juce::uint8>& message) override;
    int getNumAnswered() override { return answered.load(); }

    //==============================================================================
    /** Results of the next findDevice calls, in order. */
    void scriptFindResults (std::initializer_list<bool> results);

    /** How many pedals answer the next findDevice calls, in order: only one makes a
        call succeed. */
    void scriptPedalsAnswering (std::initializer_list<int> counts);

    /** The reply data sendAndReceive gives; none makes it fail. */
    void setReply (std::optional<juce::Array<juce::uint8>> reply);

    /** Makes every findDevice call on a JUCE thread block until released. */
    void holdFindDevice();

    /** Makes the sendSysEx call with this zero-based number block until released. */
    void holdSend (int callNumber);

    /** Lets every held call, present and future, go on. */
    void release();

    /** How many calls have entered a hold so far. */
    int holdsEntered() const { return held.load(); }

    juce::String deviceName{"Verrano2 Boot"};

private:
    void holdHere();

    CallJournal& journal;
    std::mutex scriptLock;
    std::deque<int> findResults; // pedals answering each call
    std::atomic<int> answered{0};
    std::optional<juce::Array<juce::uint8>> reply;

    std::atomic<bool> findIsHeld{false};
    std::atomic<int> sendToHold{-1};
    std::atomic<int> sendCalls{0};
    std::atomic<bool> released{false};
    std::atomic<int> held{0};
};

} // namespace downloader_test
