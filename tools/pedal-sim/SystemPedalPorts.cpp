#include "tools/pedal-sim/SystemPedalPorts.h"

namespace pedal
{

SystemPedalPorts::~SystemPedalPorts()
{
    close();
}

void SystemPedalPorts::close()
{
    withdraw();
    receiver = nullptr;
    recording = nullptr;
}

void SystemPedalPorts::present (const juce::String& name)
{
    const juce::ScopedLock sl (lock);
    input.reset();
    output.reset();

    // The pedal's input is where others send to, its output what others read from.
    auto newInput = juce::MidiInput::createNewDevice (name, this);
    auto newOutput = juce::MidiOutput::createNewDevice (name);

    if (newInput == nullptr || newOutput == nullptr)
    {
        failed = true;
        return;
    }

    input = std::move (newInput);
    output = std::move (newOutput);
    input->start();
}

void SystemPedalPorts::withdraw()
{
    const juce::ScopedLock sl (lock);
    input.reset();
    output.reset();
}

void SystemPedalPorts::send (const juce::MidiMessage& message)
{
    const juce::ScopedLock sl (lock);
    if (output != nullptr)
        output->sendMessageNow (message);
}

void SystemPedalPorts::handleIncomingMidiMessage (juce::MidiInput*, const juce::MidiMessage& message)
{
    // Recorded as it came off the port: faults the pedal plays in transit come later.
    if (auto* wire = recording.load())
        wire->add (message);

    if (auto* pedal = receiver.load())
        pedal->receive (message);
}

} // namespace pedal
