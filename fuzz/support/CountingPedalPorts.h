#pragma once

#include "tools/pedal/PedalPorts.h"

#include <atomic>

namespace fuzzing
{

/** The simulated pedal's ports, with nobody listening: counts what the pedal does
    with them and notes whether its ports ever appeared twice without vanishing in
    between (or vanished while absent). */
class CountingPedalPorts : public pedal::PedalPorts
{
public:
    void present (const juce::String& name) override;
    void withdraw() override;
    void send (const juce::MidiMessage& message) override;

    int getPresents() const { return presents; }
    int getWithdrawals() const { return withdrawals; }
    int getSends() const { return sends; }
    bool isPresent() const { return shown; }
    bool wereCallsOutOfOrder() const { return outOfOrder; }

private:
    std::atomic<int> presents{0};
    std::atomic<int> withdrawals{0};
    std::atomic<int> sends{0};
    std::atomic<bool> shown{false};
    std::atomic<bool> outOfOrder{false};
};

} // namespace fuzzing
