#include "RecordingPedalPorts.h"

#include "tools/pedal/PedalProtocol.h"

#include <chrono>

namespace pedal_test
{

namespace
{

bool hasCommand (const juce::MidiMessage& m, juce::uint8 command)
{
    return pedal::isForPedal (m) && m.getSysExDataSize() > 5 && m.getSysExData()[5] == command;
}

} // namespace

void RecordingPedalPorts::present (const juce::String& name)
{
    record ({Event::present, name, {}, std::this_thread::get_id(), juce::Time::getMillisecondCounterHiRes()});
}

void RecordingPedalPorts::withdraw()
{
    record ({Event::withdraw, {}, {}, std::this_thread::get_id(), juce::Time::getMillisecondCounterHiRes()});
}

void RecordingPedalPorts::send (const juce::MidiMessage& message)
{
    record ({Event::send, {}, message, std::this_thread::get_id(), juce::Time::getMillisecondCounterHiRes()});
}

void RecordingPedalPorts::record (Event event)
{
    {
        const std::lock_guard<std::mutex> lock (mutex);
        recorded.push_back (std::move (event));
    }
    changed.notify_all();
}

std::vector<RecordingPedalPorts::Event> RecordingPedalPorts::events() const
{
    const std::lock_guard<std::mutex> lock (mutex);
    return recorded;
}

std::vector<juce::MidiMessage> RecordingPedalPorts::sent() const
{
    std::vector<juce::MidiMessage> result;
    for (auto& e : events())
        if (e.kind == Event::send)
            result.push_back (e.message);
    return result;
}

std::vector<juce::MidiMessage> RecordingPedalPorts::sentWithCommand (juce::uint8 command) const
{
    std::vector<juce::MidiMessage> result;
    for (auto& m : sent())
        if (hasCommand (m, command))
            result.push_back (m);
    return result;
}

size_t RecordingPedalPorts::count (Event::Kind kind) const
{
    size_t n = 0;
    for (auto& e : events())
        n += e.kind == kind ? 1 : 0;
    return n;
}

bool RecordingPedalPorts::waitFor (const std::function<bool (const std::vector<Event>&)>& condition,
                                   int timeoutMs) const
{
    std::unique_lock<std::mutex> lock (mutex);
    return changed.wait_for (lock, std::chrono::milliseconds (timeoutMs),
                             [&] { return condition (recorded); });
}

bool RecordingPedalPorts::waitForCommand (juce::uint8 command, size_t n, int timeoutMs) const
{
    return waitFor (
        [&] (const std::vector<Event>& events)
        {
            size_t found = 0;
            for (auto& e : events)
                if (e.kind == Event::send && hasCommand (e.message, command))
                    ++found;
            return found >= n;
        },
        timeoutMs);
}

} // namespace pedal_test
