#include "tools/pedal/SimulatedSetup.h"

namespace pedal
{

namespace
{

/** A port layer that shares the bus, so that whoever owns it keeps the pedals alive. */
class SharedBusPorts final : public midi::PortLayer
{
public:
    SharedBusPorts (std::shared_ptr<VirtualMidiBus> b, std::function<void()> whenReleasedToCall)
        : bus (std::move (b))
        , whenReleased (std::move (whenReleasedToCall))
    {
    }

    ~SharedBusPorts() override
    {
        if (whenReleased)
            whenReleased();
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
    const std::function<void()> whenReleased;
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

    if (config.secondPedal && config.secondPedalFirst)
        bus->addPedal (config.secondPedalConfig());

    bus->addPedal (config);

    if (config.secondPedal && !config.secondPedalFirst)
        bus->addPedal (config.secondPedalConfig());

    for (int i = 1; i <= config.extraDevicesAfter; ++i)
        bus->addSilentDevice (extraDeviceName (config.extraDevices + i));
}

SimulatedSetup::~SimulatedSetup() = default;

std::unique_ptr<midi::PortLayer> SimulatedSetup::makePorts (std::function<void()> whenReleased) const
{
    return std::make_unique<SharedBusPorts> (bus, std::move (whenReleased));
}

SimulatedPedal& SimulatedSetup::getPedal (int index) const
{
    // The bus numbers pedals in list order; a second pedal listed first is still the second.
    const bool swapped = config.secondPedal && config.secondPedalFirst;
    return bus->getPedal (swapped ? 1 - index : index);
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
