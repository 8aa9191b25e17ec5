#include "support/CountingPedalPorts.h"

namespace fuzzing
{

void CountingPedalPorts::present (const juce::String& name)
{
    if (shown.exchange (true) || name.isEmpty())
        outOfOrder = true;

    ++presents;
}

void CountingPedalPorts::withdraw()
{
    if (!shown.exchange (false))
        outOfOrder = true;

    ++withdrawals;
}

void CountingPedalPorts::send (const juce::MidiMessage&)
{
    ++sends;
}

} // namespace fuzzing
