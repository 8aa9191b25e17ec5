// midi-ports: prints the MIDI ports as the updater's own port layer lists them, one
// "input NAME" or "output NAME" line each, so that a run can show which names a
// Windows program sees (under Wine, those of the ALSA sequencer's ports).
#include "midi/JucePorts.h"

#include <iostream>
#include <juce_events/juce_events.h>

int main()
{
    juce::ScopedJuceInitialiser_GUI juce;
    midi::JucePorts ports;

    for (const auto& name : ports.getInputNames())
        std::cout << "input " << name << std::endl;

    for (const auto& name : ports.getOutputNames())
        std::cout << "output " << name << std::endl;

    return 0;
}
