#pragma once

#include "midi/PortLayer.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace midi_testing
{

/** One message that the far side of an output sends back on an input. */
struct ScriptedReply
{
    /** The complete message: F0 ... F7 for SysEx, or any other MIDI message. */
    juce::Array<juce::uint8> bytes;

    /** Milliseconds after the send at which the delivery thread hands it over. */
    int delayMs = 0;

    /** Delivered inside sendMessageNow, before it returns, instead of later. */
    bool synchronous = false;
};

/**
    A scripted, recording port layer. Inputs and outputs have names and positions like
    the system's; each output can be given a script that answers every message sent on
    it with messages for one input. Replies go through a delivery thread of the fake's
    own (or, when asked, straight from sendMessageNow), always under a delivery lock
    that deleting an input port waits for, as JUCE's input thread does. Messages for an
    input that is closed or not started are dropped.
*/
class FakePortLayer : public midi::PortLayer
{
public:
    using Script = std::function<std::vector<ScriptedReply> (const juce::Array<juce::uint8>& received)>;

    struct Sent
    {
        int output;
        juce::Array<juce::uint8> bytes;
    };

    FakePortLayer (juce::StringArray inputNames, juce::StringArray outputNames);
    ~FakePortLayer() override;

    //==============================================================================
    /** Every message sent on `output` is answered by `script`, on input `replyInput`. */
    void setScript (int output, int replyInput, Script script);

    /** From now on the port at this position cannot be opened. */
    void refuseInput (int index);
    void refuseOutput (int index);

    /** Queues `bytes` for input `input`, delivered by the delivery thread. */
    void deliverLater (int input, const juce::Array<juce::uint8>& bytes, int delayMs = 0);

    /** Waits until nothing is queued or being delivered; false after `timeoutMs`. */
    bool waitUntilIdle (int timeoutMs = 5000);

    /** Waits until at least `count` messages have been sent; false after `timeoutMs`. */
    bool waitForSends (size_t count, int timeoutMs = 5000);

    //==============================================================================
    std::vector<Sent> sent() const;
    bool isInputOpen (int index) const;
    bool isOutputOpen (int index) const;
    int timesInputOpened (int index) const;
    int timesOutputOpened (int index) const;

    /** The highest number of inputs, and of outputs, that were open at once. */
    int mostInputsOpenAtOnce() const;
    int mostOutputsOpenAtOnce() const;

    //==============================================================================
    juce::StringArray getInputNames() override;
    juce::StringArray getOutputNames() override;
    std::unique_ptr<midi::InputPort> openInput (int index, juce::MidiInputCallback& callback) override;
    std::unique_ptr<midi::OutputPort> openOutput (int index) override;

private:
    class Input;
    class Output;

    struct Pending
    {
        std::chrono::steady_clock::time_point due;
        int input;
        juce::Array<juce::uint8> bytes;
    };

    void inputClosed (int index, Input* port);
    void outputClosed (int index);
    void received (int output, const juce::Array<juce::uint8>& bytes);
    void deliver (int input, const juce::Array<juce::uint8>& bytes);
    void deliveryLoop();

    const juce::StringArray inputNames, outputNames;

    /** Held while a message is handed to a callback; deleting an input takes it. */
    std::mutex deliveryLock;

    mutable std::mutex stateLock;
    std::condition_variable stateChanged;
    std::vector<Input*> openInputs;
    std::vector<int> openOutputs;
    std::map<int, int> inputOpenings, outputOpenings;
    int mostInputs = 0, mostOutputs = 0;
    std::map<int, std::pair<int, Script>> scripts;
    std::vector<int> refusedInputs, refusedOutputs;
    std::vector<Sent> sentMessages;
    std::vector<Pending> pending;
    bool delivering = false;
    bool quitting = false;

    std::thread deliveryThread;
};

} // namespace midi_testing
