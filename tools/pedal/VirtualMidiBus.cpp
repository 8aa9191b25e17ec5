#include "tools/pedal/VirtualMidiBus.h"

#include <atomic>

namespace pedal
{

namespace
{

/** One input port that the updater opened: where the device's messages go. */
struct Connection
{
    explicit Connection (juce::MidiInputCallback& cb)
        : callback (cb)
    {
    }

    juce::MidiInputCallback& callback;

    // Held while the callback runs, so that closing the port can wait for it.
    juce::CriticalSection callbackLock;
    std::atomic<bool> started{false};
    std::atomic<bool> live{true};
};

/** A device on the bus: one input and one output port. */
struct Device
{
    juce::String inputName, outputName;
    bool present = false;
    int generation = 0; // changes whenever the ports vanish or appear
    bool inputOpenable = true;
    bool outputOpenable = true;
    SimulatedPedal* receiver = nullptr;
    std::vector<std::shared_ptr<Connection>> inputs;
};

/** Marks connections dead, waiting for a callback running on each. Call without the bus lock. */
void kill (const std::vector<std::shared_ptr<Connection>>& connections)
{
    for (auto& connection : connections)
    {
        const juce::ScopedLock cl (connection->callbackLock);
        connection->live = false;
    }
}

} // namespace

//==============================================================================
struct VirtualMidiBus::Shared
{
    juce::CriticalSection lock;
    std::vector<std::unique_ptr<Device>> devices;

    /** Port objects handed out and not yet deleted. */
    std::atomic<int> openPorts{0};

    /** The nth listed device; call with the lock held. */
    Device* listed (int index)
    {
        for (auto& device : devices)
            if (device->present && index-- == 0)
                return device.get();
        return nullptr;
    }
};

namespace
{

class BusInputPort final : public midi::InputPort
{
public:
    BusInputPort (std::shared_ptr<VirtualMidiBus::Shared> s, Device& d, std::shared_ptr<Connection> c)
        : shared (std::move (s))
        , device (d)
        , connection (std::move (c))
    {
        ++shared->openPorts;
    }

    ~BusInputPort() override
    {
        --shared->openPorts;
        {
            const juce::ScopedLock sl (shared->lock);
            auto& inputs = device.inputs;
            inputs.erase (std::remove (inputs.begin(), inputs.end(), connection), inputs.end());
        }
        kill ({connection});
    }

    void start() override { connection->started = true; }

private:
    std::shared_ptr<VirtualMidiBus::Shared> shared;
    Device& device;
    std::shared_ptr<Connection> connection;
};

class BusOutputPort final : public midi::OutputPort
{
public:
    BusOutputPort (std::shared_ptr<VirtualMidiBus::Shared> s, Device& d)
        : shared (std::move (s))
        , device (d)
        , generation (d.generation)
    {
        ++shared->openPorts;
    }

    ~BusOutputPort() override { --shared->openPorts; }

    void sendMessageNow (const juce::MidiMessage& message) override
    {
        // The pedal only queues here, under its queue lock, which it never holds while
        // calling the bus.
        const juce::ScopedLock sl (shared->lock);
        if (device.present && device.generation == generation && device.receiver != nullptr)
            device.receiver->receive (message);
    }

private:
    std::shared_ptr<VirtualMidiBus::Shared> shared;
    Device& device;
    const int generation;
};

} // namespace

//==============================================================================
/** The ports of one pedal, as the pedal sees them. */
class VirtualMidiBus::PedalEndpoint final : public PedalPorts
{
public:
    PedalEndpoint (std::shared_ptr<Shared> s, Device& d, PedalConfig::NamePairing pairing)
        : shared (std::move (s))
        , device (d)
        , names (pairing)
    {
    }

    void present (const juce::String& name) override
    {
        const juce::ScopedLock sl (shared->lock);
        device.inputName = name;
        device.outputName = names == PedalConfig::NamePairing::upperCaseOutput  ? name.toUpperCase()
                            : names == PedalConfig::NamePairing::suffixedOutput ? name + " Out"
                                                                                : name;
        device.present = true;
        ++device.generation;
    }

    void withdraw() override
    {
        std::vector<std::shared_ptr<Connection>> opened;
        {
            const juce::ScopedLock sl (shared->lock);
            device.present = false;
            ++device.generation;
            opened.swap (device.inputs);
        }
        kill (opened);
    }

    void send (const juce::MidiMessage& message) override
    {
        std::vector<std::shared_ptr<Connection>> targets;
        {
            const juce::ScopedLock sl (shared->lock);
            if (!device.present)
                return;
            targets = device.inputs;
        }

        // The callbacks run without the bus lock: a thread deleting a port takes the
        // bus lock first and the port's callback lock after it, never both at once.
        for (auto& target : targets)
        {
            const juce::ScopedLock cl (target->callbackLock);
            if (target->live && target->started)
                target->callback.handleIncomingMidiMessage (nullptr, message);
        }
    }

private:
    std::shared_ptr<Shared> shared;
    Device& device;
    const PedalConfig::NamePairing names;
};

//==============================================================================
VirtualMidiBus::VirtualMidiBus()
    : shared (std::make_shared<Shared>())
{
}

VirtualMidiBus::~VirtualMidiBus()
{
    for (auto& pedal : pedals)
        pedal->stop();

    std::vector<std::shared_ptr<Connection>> opened;
    {
        const juce::ScopedLock sl (shared->lock);
        for (auto& device : shared->devices)
        {
            device->present = false;
            device->receiver = nullptr;
            ++device->generation;
            for (auto& connection : device->inputs)
                opened.push_back (connection);
            device->inputs.clear();
        }
    }
    kill (opened);

    pedals.clear();
    endpoints.clear();
}

void VirtualMidiBus::addSilentDevice (const juce::String& name, bool openable)
{
    auto device = std::make_unique<Device>();
    device->inputName = device->outputName = name;
    device->present = true;
    device->inputOpenable = device->outputOpenable = openable;

    const juce::ScopedLock sl (shared->lock);
    shared->devices.push_back (std::move (device));
}

SimulatedPedal& VirtualMidiBus::addPedal (const PedalConfig& config)
{
    Device* device;
    {
        auto owned = std::make_unique<Device>();
        owned->inputOpenable = !config.inputUnopenable;
        owned->outputOpenable = !config.outputUnopenable;
        device = owned.get();

        const juce::ScopedLock sl (shared->lock);
        shared->devices.push_back (std::move (owned));
    }

    endpoints.push_back (std::make_unique<PedalEndpoint> (shared, *device, config.names));
    pedals.push_back (std::make_unique<SimulatedPedal> (config, *endpoints.back()));
    auto& pedal = *pedals.back();

    {
        const juce::ScopedLock sl (shared->lock);
        device->receiver = &pedal;
    }

    pedal.start();
    return pedal;
}

SimulatedPedal& VirtualMidiBus::getPedal (int index) const
{
    jassert (juce::isPositiveAndBelow (index, getNumPedals()));
    return *pedals[static_cast<size_t> (index)];
}

int VirtualMidiBus::getNumOpenPorts() const
{
    return shared->openPorts.load();
}

//==============================================================================
juce::StringArray VirtualMidiBus::getInputNames()
{
    juce::StringArray names;
    const juce::ScopedLock sl (shared->lock);
    for (auto& device : shared->devices)
        if (device->present)
            names.add (device->inputName);
    return names;
}

juce::StringArray VirtualMidiBus::getOutputNames()
{
    juce::StringArray names;
    const juce::ScopedLock sl (shared->lock);
    for (auto& device : shared->devices)
        if (device->present)
            names.add (device->outputName);
    return names;
}

std::unique_ptr<midi::InputPort> VirtualMidiBus::openInput (int index, juce::MidiInputCallback& callback)
{
    const juce::ScopedLock sl (shared->lock);
    auto* device = shared->listed (index);
    if (device == nullptr || !device->inputOpenable)
        return nullptr;

    auto connection = std::make_shared<Connection> (callback);
    device->inputs.push_back (connection);
    return std::make_unique<BusInputPort> (shared, *device, connection);
}

std::unique_ptr<midi::OutputPort> VirtualMidiBus::openOutput (int index)
{
    const juce::ScopedLock sl (shared->lock);
    auto* device = shared->listed (index);
    if (device == nullptr || !device->outputOpenable)
        return nullptr;

    return std::make_unique<BusOutputPort> (shared, *device);
}

} // namespace pedal
