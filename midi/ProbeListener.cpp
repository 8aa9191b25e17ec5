#include "midi/ProbeListener.h"

#include "midi/SysExFormat.h"

namespace midi
{

std::optional<double> ProbeListener::acknowledgedAt() const noexcept
{
    const auto at = ackTime.load();
    if (at < 0.0)
        return std::nullopt;
    return at;
}

void ProbeListener::handleIncomingMidiMessage (juce::MidiInput* source, const juce::MidiMessage& message)
{
    if (message.isSysEx() && isAcknowledgement (message.getSysExData(), message.getSysExDataSize(), model))
    {
        ++ackCount;

        // Only the first acknowledgement tells how fast the pedal answered.
        auto expected = notYet;
        ackTime.compare_exchange_strong (expected, juce::Time::getMillisecondCounterHiRes());
    }

    if (auto* target = passOn.load())
        target->handleIncomingMidiMessage (source, message);
}

} // namespace midi
