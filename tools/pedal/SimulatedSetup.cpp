#include "tools/pedal/SimulatedSetup.h"

namespace pedal
{

namespace
{

/** A port layer that shares the bus, so that whoever owns it keeps the pedals alive. */
class SharedBusPorts final : public midi::PortLayer
{
public:
    explicit SharedBusPorts (std::shared_ptr<VirtualMidiBus> b)
        : bus (std::move (b))
    {
    }

    juce::StringArray getInputNames() override { return bus->getInputNames(); }
    juce::StringArray getOutputNames() override { return bus->getOutputNames(); }

    std::unique_ptr<midi::InputPort> openInput (int index, juce::MidiInputCallback& callback) override
    {
        return bus->openInput (index, callback);
    }

    std::unique_ptr<midi::OutputPort> openOutput (int index) override { return bus->openOutput (index); }

private:
    std::shared_ptr<VirtualMidiBus> bus;
};

} // namespace

SimulatedSetup::SimulatedSetup (const PedalConfig& configToUse)
    : config (configToUse)
    , bus (std::make_shared<VirtualMidiBus>())
{
    for (int i = 1; i <= config.extraDevices; ++i)
        bus->addSilentDevice (extraDeviceName (i));

    for (int i = 1; i <= config.unopenableDevices; ++i)
        bus->addSilentDevice (unopenableDeviceName (i), false);

    bus->addPedal (config);

    if (config.secondPedal)
    {
        PedalConfig second;
        second.mode = *config.secondPedal;
        second.name = config.name;
        second.startRevision = config.startRevision;
        second.restartMs = config.restartMs;
        bus->addPedal (second);
    }
}

SimulatedSetup::~SimulatedSetup() = default;

std::unique_ptr<midi::PortLayer> SimulatedSetup::makePorts() const
{
    return std::make_unique<SharedBusPorts> (bus);
}

SimulatedPedal& SimulatedSetup::getPedal (int index) const
{
    return bus->getPedal (index);
}

int SimulatedSetup::getNumPedals() const
{
    return bus->getNumPedals();
}

juce::String SimulatedSetup::extraDeviceName (int number)
{
    return "USB MIDI Interface " + juce::String (number);
}

juce::String SimulatedSetup::unopenableDeviceName (int number)
{
    return "Busy MIDI Device " + juce::String (number);
}

} // namespace pedal
