#pragma once

#include "midi/PortLayer.h"
#include "tools/pedal/PedalConfig.h"
#include "tools/pedal/SimulatedPedal.h"
#include "tools/pedal/VirtualMidiBus.h"

#include <functional>
#include <memory>

namespace pedal
{

/**
    A whole simulated setup from one PedalConfig: an in-process MIDI bus with, in
    list order, the extra silent devices, the devices that cannot be opened, the
    pedal and, if chosen, a second pedal of the same name (before or after it), then
    the silent devices listed after the pedals. The pedals answer from construction on.

    The bus is shared: the port layers handed out by makePorts() keep it (and so
    the pedals) alive after this object is gone, and the other way round.
*/
class SimulatedSetup
{
public:
    explicit SimulatedSetup (const PedalConfig& config = PedalConfig());
    ~SimulatedSetup();

    /** A port layer on the bus for the updater's transport. May be called more than once.
        `whenReleased`, if given, is called as the port layer is destroyed. */
    std::unique_ptr<midi::PortLayer> makePorts (std::function<void()> whenReleased = {}) const;

    /** The pedal (index 0) or the second pedal (index 1), wherever they are listed. */
    SimulatedPedal& getPedal (int index = 0) const;

    int getNumPedals() const;

    VirtualMidiBus& getBus() const { return *bus; }

    const PedalConfig& getConfig() const { return config; }

    /** Names of the silent devices listed before the pedal. */
    static juce::String extraDeviceName (int number);
    static juce::String unopenableDeviceName (int number);

private:
    const PedalConfig config;
    std::shared_ptr<VirtualMidiBus> bus;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SimulatedSetup)
};

} // namespace pedal
