#pragma once

#include "midi/PortLayer.h"
#include "tools/pedal/PedalConfig.h"
#include "tools/pedal/SimulatedPedal.h"

#include <memory>
#include <vector>

namespace pedal
{

/**
    An in-process world of MIDI ports, seen by the updater through midi::PortLayer.

    Devices are listed in the order they were added, each with one input and one
    output port; a pedal's ports are listed only while it presents them. Messages
    sent on an output port opened on a pedal go to the pedal's receive(); what the
    pedal sends reaches every started input port opened on it, on the pedal's own
    thread. When a pedal withdraws its ports, ports opened on them go dead for good:
    sends are dropped and nothing is delivered; when it presents them again, they
    must be opened anew.

    Deleting an input port waits for a callback running on it and stops delivery.
    Opened ports may outlive the bus; they are dead from its destruction on.
*/
class VirtualMidiBus : public midi::PortLayer
{
public:
    VirtualMidiBus();

    /** Stops the pedals, then kills every port still open. */
    ~VirtualMidiBus() override;

    //==============================================================================
    /** Lists a device with an input and an output port of this name that never answers:
        what is sent to it is dropped. An unopenable device's ports are listed, but
        opening them gives null. */
    void addSilentDevice (const juce::String& name, bool openable = true);

    /**
        Adds a pedal, owned by the bus, listed after the devices added before it, and
        starts it: its ports are listed when this returns. The configuration's names
        and unopenable settings shape its ports; extra devices and a second pedal are
        not made here (see SimulatedSetup).
    */
    SimulatedPedal& addPedal (const PedalConfig& config);

    int getNumPedals() const { return static_cast<int> (pedals.size()); }

    /** A pedal by the order it was added in. */
    SimulatedPedal& getPedal (int index) const;

    /** Input and output ports opened on this bus and not yet deleted, dead ones
        included: what an updater still holds. */
    int getNumOpenPorts() const;

    //==============================================================================
    juce::StringArray getInputNames() override;
    juce::StringArray getOutputNames() override;

    /** Null when the index is out of range or the port cannot be opened. The source
        passed to the callback is null: there is no juce::MidiInput behind the port. */
    std::unique_ptr<midi::InputPort> openInput (int index, juce::MidiInputCallback& callback) override;

    /** Null when the index is out of range or the port cannot be opened. */
    std::unique_ptr<midi::OutputPort> openOutput (int index) override;

    /** The state the bus shares with the ports opened on it. */
    struct Shared;

private:
    class PedalEndpoint;

    std::shared_ptr<Shared> shared;
    std::vector<std::unique_ptr<PedalEndpoint>> endpoints;
    std::vector<std::unique_ptr<SimulatedPedal>> pedals;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VirtualMidiBus)
};

} // namespace pedal
