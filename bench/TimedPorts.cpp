#include "bench/TimedPorts.h"

namespace bench
{

/** Notes each incoming message, then hands it to the transport's callback. The
    callback object sits inside the port, so it lives exactly as long as the port. */
class TimedPorts::NotingInput final : public midi::InputPort, private juce::MidiInputCallback
{
public:
    NotingInput (midi::PortLayer& ports, int index, juce::MidiInputCallback& target,
                 std::shared_ptr<WireLog> logToUse)
        : callback (target)
        , log (std::move (logToUse))
        , port (ports.openInput (index, *this))
    {
    }

    bool isOpen() const noexcept { return port != nullptr; }

    void start() override { port->start(); }

private:
    void handleIncomingMidiMessage (juce::MidiInput* source, const juce::MidiMessage& message) override
    {
        log->noteReceived (message);
        callback.handleIncomingMidiMessage (source, message);
    }

    juce::MidiInputCallback& callback;
    std::shared_ptr<WireLog> log;
    std::unique_ptr<midi::InputPort> port; // last: closed, and its callbacks ended, first
};

class TimedPorts::NotingOutput final : public midi::OutputPort
{
public:
    NotingOutput (std::unique_ptr<midi::OutputPort> portToWrap, std::shared_ptr<WireLog> logToUse)
        : port (std::move (portToWrap))
        , log (std::move (logToUse))
    {
    }

    void sendMessageNow (const juce::MidiMessage& message) override
    {
        // Noted before the send: the pedal may act on the message before the send returns.
        log->noteSent (message);
        port->sendMessageNow (message);
    }

private:
    std::unique_ptr<midi::OutputPort> port;
    std::shared_ptr<WireLog> log;
};

//==============================================================================
TimedPorts::TimedPorts (std::unique_ptr<midi::PortLayer> portsToWrap, std::shared_ptr<WireLog> logToUse)
    : ports (std::move (portsToWrap))
    , log (std::move (logToUse))
{
}

TimedPorts::~TimedPorts() = default;

juce::StringArray TimedPorts::getInputNames()
{
    log->noteSearch();
    return ports->getInputNames();
}

juce::StringArray TimedPorts::getOutputNames()
{
    return ports->getOutputNames();
}

std::unique_ptr<midi::InputPort> TimedPorts::openInput (int index, juce::MidiInputCallback& callback)
{
    auto input = std::make_unique<NotingInput> (*ports, index, callback, log);
    if (!input->isOpen())
        return nullptr;
    return input;
}

std::unique_ptr<midi::OutputPort> TimedPorts::openOutput (int index)
{
    auto output = ports->openOutput (index);
    if (output == nullptr)
        return nullptr;
    return std::make_unique<NotingOutput> (std::move (output), log);
}

} // namespace bench
