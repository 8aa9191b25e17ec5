#pragma once

#include "tools/pedal/PedalPorts.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace pedal_test
{

/** A stand-in for the pedal's ports: records every call with its thread and time,
    and lets a test wait for a condition on the record without sleeping. */
class RecordingPedalPorts : public pedal::PedalPorts
{
public:
    struct Event
    {
        enum Kind
        {
            present,
            withdraw,
            send
        };

        Kind kind;
        juce::String name;
        juce::MidiMessage message;
        std::thread::id thread;
        double timeMs;
    };

    void present (const juce::String& name) override;
    void withdraw() override;
    void send (const juce::MidiMessage& message) override;

    std::vector<Event> events() const;

    /** The messages sent so far, in order. */
    std::vector<juce::MidiMessage> sent() const;

    /** Messages sent so far whose SysEx data are the pedal's header and this command. */
    std::vector<juce::MidiMessage> sentWithCommand (juce::uint8 command) const;

    size_t count (Event::Kind kind) const;

    /** Waits until the condition holds on the record; false after `timeoutMs`. */
    bool waitFor (const std::function<bool (const std::vector<Event>&)>& condition,
                  int timeoutMs = 10000) const;

    /** Waits until at least `n` messages with this command have been sent. */
    bool waitForCommand (juce::uint8 command, size_t n = 1, int timeoutMs = 10000) const;

private:
    void record (Event event);

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<Event> recorded;
};

} // namespace pedal_test
