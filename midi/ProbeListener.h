#pragma once

#include <juce_audio_devices/juce_audio_devices.h>

#include <atomic>
#include <optional>

namespace midi
{

/**
    The callback of one input during a search: notes when the pedal's
    acknowledgement of the device probe arrives on it, and how many came, and, once
    the input has become the pedal's, passes every message on to the transport.

    Runs on the port layer's input thread; the searching thread reads what it noted.
    It must outlive the input port it was opened with.
*/
class ProbeListener final : public juce::MidiInputCallback
{
public:
    explicit ProbeListener (juce::uint8 modelByte) noexcept
        : model (modelByte)
    {
    }

    /** When the first acknowledgement since the last forgetAcknowledgement() arrived,
        on the hi-res millisecond counter. */
    std::optional<double> acknowledgedAt() const noexcept;

    /** How many acknowledgements arrived since the last forgetAcknowledgement(). */
    int acknowledgements() const noexcept { return ackCount.load(); }

    void forgetAcknowledgement() noexcept
    {
        ackTime = notYet;
        ackCount = 0;
    }

    /** From now on every incoming message also goes to `target` (null: to nobody). */
    void passOnTo (juce::MidiInputCallback* target) noexcept { passOn = target; }

    void handleIncomingMidiMessage (juce::MidiInput* source, const juce::MidiMessage& message) override;

private:
    static constexpr double notYet = -1.0;

    const juce::uint8 model;
    std::atomic<double> ackTime{notYet};
    std::atomic<int> ackCount{0};
    std::atomic<juce::MidiInputCallback*> passOn{nullptr};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ProbeListener)
};

} // namespace midi
