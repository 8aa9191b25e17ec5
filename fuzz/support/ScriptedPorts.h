#pragma once

#include <map>

#include "midi/PortLayer.h"

#include <deque>
#include <vector>

namespace fuzzing
{

/**
    A port layer whose devices answer from a script: every message sent on an open
    output is recorded, and the next burst of the script is then handed, on the
    sending thread, to the callback of the input port that is open at that moment
    (as if the device had answered at once). Ports whose name begins with '!' refuse
    to open, like a port that another program holds. Counts the ports that are open
    so that a target can tell what the transport left open.
*/
class ScriptedPorts : public midi::PortLayer
{
public:
    ScriptedPorts (juce::StringArray inputNames, juce::StringArray outputNames,
                   std::deque<std::vector<juce::MidiMessage>> bursts);

    juce::StringArray getInputNames() override { return inputs; }
    juce::StringArray getOutputNames() override { return outputs; }

    std::unique_ptr<midi::InputPort> openInput (int index, juce::MidiInputCallback& callback) override;
    std::unique_ptr<midi::OutputPort> openOutput (int index) override;

    //==============================================================================
    /** Every message sent, in order, with the index of the output it went out on. */
    struct Sent
    {
        int output;
        juce::MidiMessage message;
    };

    const std::vector<Sent>& getSent() const { return sent; }

    /** The bursts handed to the transport so far, one per message sent (empty when
        no input was listening). */
    const std::vector<std::vector<juce::MidiMessage>>& getDelivered() const { return delivered; }

    int getOpenInputs() const { return openInputs; }
    int getOpenOutputs() const { return openOutputs; }

private:
    class Input;
    class Output;

    void deliverNextBurst (int output, const juce::MidiMessage& message);

    juce::StringArray inputs, outputs;
    std::deque<std::vector<juce::MidiMessage>> script;
    std::vector<std::vector<juce::MidiMessage>> delivered;
    std::vector<Sent> sent;
    std::map<int, juce::MidiInputCallback*> listening; ///< started inputs by index
    int openInputs = 0;
    int openOutputs = 0;
};

} // namespace fuzzing
