#pragma once

#include "bench/WireLog.h"
#include "midi/PortLayer.h"

#include <memory>

namespace bench
{

/**
    The simulated pedal's ports as the updater's transport sees them, with every
    message in and out, and every search, noted in a WireLog on its way through.
    The noting costs a clock read and a short lock per message.
*/
class TimedPorts final : public midi::PortLayer
{
public:
    TimedPorts (std::unique_ptr<midi::PortLayer> portsToWrap, std::shared_ptr<WireLog> log);
    ~TimedPorts() override;

    juce::StringArray getInputNames() override;
    juce::StringArray getOutputNames() override;
    std::unique_ptr<midi::InputPort> openInput (int index, juce::MidiInputCallback& callback) override;
    std::unique_ptr<midi::OutputPort> openOutput (int index) override;

private:
    class NotingInput;
    class NotingOutput;

    std::unique_ptr<midi::PortLayer> ports;
    std::shared_ptr<WireLog> log;

    JUCE_DECLARE_NON_COPYABLE (TimedPorts)
};

} // namespace bench
