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

    if (gadget != nullptr)
    {
        if (auto result = gadget->plugIn (name); result.failed())
        {
            fail ("USB gadget: " + result.getErrorMessage());
            return;
        }
    }

    if (!(attachedName.isEmpty() ? openPorts (name) : openAttachedPorts()))
        return;

    input->start();
}

bool SystemPedalPorts::openPorts (const juce::String& name)
{
    // The pedal's input is where others send to, its output what others read from.
    auto newInput = juce::MidiInput::createNewDevice (name, this);
    auto newOutput = juce::MidiOutput::createNewDevice (name);

    if (newInput == nullptr || newOutput == nullptr)
    {
        fail ("this system offers no virtual MIDI ports (no ALSA sequencer)");
        return false;
    }

    input = std::move (newInput);
    output = std::move (newOutput);
    return true;
}

bool SystemPedalPorts::openAttachedPorts()
{
    // Without a sequencer nothing will ever be listed; ALSA would complain on every look.
    if (!juce::File ("/dev/snd/seq").exists())
    {
        fail ("this system offers no MIDI ports (no ALSA sequencer)");
        return false;
    }

    // A gadget's ports appear as it binds, but a system under load may list them late.
    const auto deadline = juce::Time::getMillisecondCounterHiRes() + attachWaitMs;
    for (;;)
    {
        const auto named = [this] (const juce::Array<juce::MidiDeviceInfo>& devices)
        {
            for (const auto& device : devices)
                if (device.name == attachedName)
                    return device.identifier;
            return juce::String();
        };
        const auto inputId = named (juce::MidiInput::getAvailableDevices());
        const auto outputId = named (juce::MidiOutput::getAvailableDevices());

        if (inputId.isNotEmpty() && outputId.isNotEmpty())
        {
            input = juce::MidiInput::openDevice (inputId, this);
            output = juce::MidiOutput::openDevice (outputId);
            if (input != nullptr && output != nullptr)
                return true;

            input.reset();
            output.reset();
            fail ("cannot open the ports \"" + attachedName + "\"");
            return false;
        }

        // The pedal's thread waits here on a restart; a stop must not wait for the deadline.
        if (juce::Thread::currentThreadShouldExit())
            return false;

        if (juce::Time::getMillisecondCounterHiRes() > deadline)
        {
            fail ("no input and output \"" + attachedName + "\" listed within " +
                  juce::String (attachWaitMs / 1000) + " s");
            return false;
        }
        juce::Thread::sleep (50);
    }
}

void SystemPedalPorts::withdraw()
{
    const juce::ScopedLock sl (lock);
    input.reset();
    output.reset();

    // Closed first: the gadget's ports go away with the unplugging.
    if (gadget != nullptr)
        if (auto result = gadget->unplug(); result.failed())
            fail ("USB gadget: " + result.getErrorMessage());
}

void SystemPedalPorts::fail (const juce::String& reason)
{
    const juce::ScopedLock sl (failureLock);
    if (!failed)
        failure = reason;
    failed = true;
}

juce::String SystemPedalPorts::getFailure() const
{
    const juce::ScopedLock sl (failureLock);
    return failure;
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
