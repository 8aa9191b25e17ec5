#include "support/ScriptedPorts.h"

namespace fuzzing
{

//==============================================================================
class ScriptedPorts::Input : public midi::InputPort
{
public:
    Input (ScriptedPorts& portsToUse, int indexToUse, juce::MidiInputCallback& callbackToUse)
        : ports (portsToUse)
        , index (indexToUse)
        , callback (callbackToUse)
    {
        ++ports.openInputs;
    }

    ~Input() override
    {
        ports.listening.erase (index);
        --ports.openInputs;
    }

    void start() override { ports.listening[index] = &callback; }

private:
    ScriptedPorts& ports;
    const int index;
    juce::MidiInputCallback& callback;
};

class ScriptedPorts::Output : public midi::OutputPort
{
public:
    Output (ScriptedPorts& portsToUse, int indexToUse)
        : ports (portsToUse)
        , index (indexToUse)
    {
        ++ports.openOutputs;
    }

    ~Output() override { --ports.openOutputs; }

    void sendMessageNow (const juce::MidiMessage& message) override
    {
        ports.deliverNextBurst (index, message);
    }

private:
    ScriptedPorts& ports;
    const int index;
};

//==============================================================================
ScriptedPorts::ScriptedPorts (juce::StringArray inputNames, juce::StringArray outputNames,
                              std::deque<std::vector<juce::MidiMessage>> bursts)
    : inputs (std::move (inputNames))
    , outputs (std::move (outputNames))
    , script (std::move (bursts))
{
}

std::unique_ptr<midi::InputPort> ScriptedPorts::openInput (int index, juce::MidiInputCallback& callback)
{
    if (!juce::isPositiveAndBelow (index, inputs.size()) || inputs[index].startsWithChar ('!'))
        return {};

    return std::make_unique<Input> (*this, index, callback);
}

std::unique_ptr<midi::OutputPort> ScriptedPorts::openOutput (int index)
{
    if (!juce::isPositiveAndBelow (index, outputs.size()) || outputs[index].startsWithChar ('!'))
        return {};

    return std::make_unique<Output> (*this, index);
}

void ScriptedPorts::deliverNextBurst (int output, const juce::MidiMessage& message)
{
    sent.push_back ({output, message});

    std::vector<juce::MidiMessage> burst;
    if (!script.empty())
    {
        burst = std::move (script.front());
        script.pop_front();
    }

    // The device behind an output answers on the first started input of its name.
    juce::MidiInputCallback* target = nullptr;
    for (const auto& [index, callback] : listening)
        if (inputs[index] == outputs[output])
        {
            target = callback;
            break;
        }

    if (target == nullptr)
        burst.clear();

    for (auto& answer : burst)
        target->handleIncomingMidiMessage (nullptr, answer);

    delivered.push_back (std::move (burst));
}

} // namespace fuzzing
