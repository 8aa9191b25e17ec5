#include "FakePortLayer.h"

#include <algorithm>
#include <atomic>

namespace midi_testing
{

//==============================================================================
class FakePortLayer::Input : public midi::InputPort
{
public:
    Input (FakePortLayer& o, int i, juce::MidiInputCallback& cb)
        : owner (o)
        , index (i)
        , callback (cb)
    {
    }

    ~Input() override { owner.inputClosed (index, this); }

    void start() override { started = true; }

    FakePortLayer& owner;
    const int index;
    juce::MidiInputCallback& callback;
    std::atomic<bool> started{false};
};

class FakePortLayer::Output : public midi::OutputPort
{
public:
    Output (FakePortLayer& o, int i)
        : owner (o)
        , index (i)
    {
    }

    ~Output() override { owner.outputClosed (index); }

    void sendMessageNow (const juce::MidiMessage& message) override
    {
        juce::Array<juce::uint8> bytes;
        bytes.addArray (message.getRawData(), message.getRawDataSize());
        owner.received (index, bytes);
    }

    FakePortLayer& owner;
    const int index;
};

//==============================================================================
FakePortLayer::FakePortLayer (juce::StringArray inputs, juce::StringArray outputs)
    : inputNames (std::move (inputs))
    , outputNames (std::move (outputs))
    , deliveryThread ([this] { deliveryLoop(); })
{
}

FakePortLayer::~FakePortLayer()
{
    {
        const std::lock_guard<std::mutex> lock (stateLock);
        quitting = true;
    }
    stateChanged.notify_all();
    deliveryThread.join();
}

//==============================================================================
void FakePortLayer::setScript (int output, int replyInput, Script script)
{
    const std::lock_guard<std::mutex> lock (stateLock);
    scripts[output] = {replyInput, std::move (script)};
}

void FakePortLayer::refuseInput (int index)
{
    const std::lock_guard<std::mutex> lock (stateLock);
    refusedInputs.push_back (index);
}

void FakePortLayer::refuseOutput (int index)
{
    const std::lock_guard<std::mutex> lock (stateLock);
    refusedOutputs.push_back (index);
}

void FakePortLayer::deliverLater (int input, const juce::Array<juce::uint8>& bytes, int delayMs)
{
    {
        const std::lock_guard<std::mutex> lock (stateLock);
        pending.push_back (
            {std::chrono::steady_clock::now() + std::chrono::milliseconds (delayMs), input, bytes});
    }
    stateChanged.notify_all();
}

bool FakePortLayer::waitUntilIdle (int timeoutMs)
{
    std::unique_lock<std::mutex> lock (stateLock);
    return stateChanged.wait_for (lock, std::chrono::milliseconds (timeoutMs),
                                  [this] { return pending.empty() && !delivering; });
}

bool FakePortLayer::waitForSends (size_t count, int timeoutMs)
{
    std::unique_lock<std::mutex> lock (stateLock);
    return stateChanged.wait_for (lock, std::chrono::milliseconds (timeoutMs),
                                  [this, count] { return sentMessages.size() >= count; });
}

//==============================================================================
std::vector<FakePortLayer::Sent> FakePortLayer::sent() const
{
    const std::lock_guard<std::mutex> lock (stateLock);
    return sentMessages;
}

bool FakePortLayer::isInputOpen (int index) const
{
    const std::lock_guard<std::mutex> lock (stateLock);
    return std::any_of (openInputs.begin(), openInputs.end(),
                        [index] (auto& p) { return p->index == index; });
}

bool FakePortLayer::isOutputOpen (int index) const
{
    const std::lock_guard<std::mutex> lock (stateLock);
    return std::find (openOutputs.begin(), openOutputs.end(), index) != openOutputs.end();
}

int FakePortLayer::timesInputOpened (int index) const
{
    const std::lock_guard<std::mutex> lock (stateLock);
    const auto it = inputOpenings.find (index);
    return it == inputOpenings.end() ? 0 : it->second;
}

int FakePortLayer::timesOutputOpened (int index) const
{
    const std::lock_guard<std::mutex> lock (stateLock);
    const auto it = outputOpenings.find (index);
    return it == outputOpenings.end() ? 0 : it->second;
}

int FakePortLayer::mostInputsOpenAtOnce() const
{
    const std::lock_guard<std::mutex> lock (stateLock);
    return mostInputs;
}

int FakePortLayer::mostOutputsOpenAtOnce() const
{
    const std::lock_guard<std::mutex> lock (stateLock);
    return mostOutputs;
}

//==============================================================================
juce::StringArray FakePortLayer::getInputNames()
{
    return inputNames;
}

juce::StringArray FakePortLayer::getOutputNames()
{
    return outputNames;
}

std::unique_ptr<midi::InputPort> FakePortLayer::openInput (int index, juce::MidiInputCallback& callback)
{
    const std::lock_guard<std::mutex> lock (stateLock);

    if (!juce::isPositiveAndBelow (index, inputNames.size()) ||
        std::find (refusedInputs.begin(), refusedInputs.end(), index) != refusedInputs.end())
        return nullptr;

    auto port = std::make_unique<Input> (*this, index, callback);
    openInputs.push_back (port.get());
    ++inputOpenings[index];
    mostInputs = std::max (mostInputs, static_cast<int> (openInputs.size()));
    return port;
}

std::unique_ptr<midi::OutputPort> FakePortLayer::openOutput (int index)
{
    const std::lock_guard<std::mutex> lock (stateLock);

    if (!juce::isPositiveAndBelow (index, outputNames.size()) ||
        std::find (refusedOutputs.begin(), refusedOutputs.end(), index) != refusedOutputs.end())
        return nullptr;

    openOutputs.push_back (index);
    ++outputOpenings[index];
    mostOutputs = std::max (mostOutputs, static_cast<int> (openOutputs.size()));
    return std::make_unique<Output> (*this, index);
}

//==============================================================================
void FakePortLayer::inputClosed (int, Input* port)
{
    // Waits for a delivery in progress, as deleting a JUCE input does.
    const std::lock_guard<std::mutex> delivery (deliveryLock);
    const std::lock_guard<std::mutex> lock (stateLock);
    openInputs.erase (std::remove (openInputs.begin(), openInputs.end(), port), openInputs.end());
}

void FakePortLayer::outputClosed (int index)
{
    const std::lock_guard<std::mutex> lock (stateLock);
    const auto it = std::find (openOutputs.begin(), openOutputs.end(), index);
    if (it != openOutputs.end())
        openOutputs.erase (it);
}

void FakePortLayer::received (int output, const juce::Array<juce::uint8>& bytes)
{
    std::vector<ScriptedReply> replies;
    int replyInput = -1;
    {
        const std::lock_guard<std::mutex> lock (stateLock);
        sentMessages.push_back ({output, bytes});

        const auto it = scripts.find (output);
        if (it != scripts.end())
        {
            replyInput = it->second.first;
            replies = it->second.second (bytes);
        }
    }
    stateChanged.notify_all();

    for (auto& reply : replies)
    {
        if (reply.synchronous)
            deliver (replyInput, reply.bytes);
        else
            deliverLater (replyInput, reply.bytes, reply.delayMs);
    }
}

void FakePortLayer::deliver (int input, const juce::Array<juce::uint8>& bytes)
{
    if (bytes.isEmpty())
        return;

    const std::lock_guard<std::mutex> delivery (deliveryLock);
    Input* target = nullptr;
    {
        const std::lock_guard<std::mutex> lock (stateLock);
        for (auto* port : openInputs)
            if (port->index == input && port->started)
                target = port;
    }

    // The port cannot go away meanwhile: closing it waits for deliveryLock.
    if (target != nullptr)
        target->callback.handleIncomingMidiMessage (nullptr, juce::MidiMessage (bytes.begin(), bytes.size()));
}

void FakePortLayer::deliveryLoop()
{
    std::unique_lock<std::mutex> lock (stateLock);

    for (;;)
    {
        if (quitting)
            return;

        if (pending.empty())
        {
            stateChanged.wait (lock);
            continue;
        }

        const auto next =
            std::min_element (pending.begin(), pending.end(),
                              [] (const Pending& a, const Pending& b) { return a.due < b.due; });

        if (next->due > std::chrono::steady_clock::now())
        {
            stateChanged.wait_until (lock, next->due);
            continue;
        }

        const auto item = *next;
        pending.erase (next);
        delivering = true;

        lock.unlock();
        deliver (item.input, item.bytes);
        lock.lock();

        delivering = false;
        stateChanged.notify_all();
    }
}

} // namespace midi_testing
