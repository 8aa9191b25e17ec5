#include "midi/Midi.h"

#include "midi/SysExFormat.h"

#include <cmath>

namespace midi
{

Midi::Midi (std::unique_ptr<PortLayer> portLayer, Timing t)
    : ports (std::move (portLayer))
    , timing (t)
{
    jassert (ports != nullptr);
}

Midi::~Midi()
{
    closeDevice();
}

//==============================================================================
bool Midi::findDevice (int model)
{
    modelByte = model;
    deviceAnswered = false;

    const auto inputNames = ports->getInputNames();
    const auto outputNames = ports->getOutputNames();

    for (int i = 0; i < inputNames.size(); ++i)
    {
        for (int j = 0; j < outputNames.size(); ++j)
        {
            // The pedal shows one input and one output of the same name; nothing
            // else about the names matters here, letter case included.
            if (inputNames[i] != outputNames[j])
                continue;

            bool stopped = false;

            if (probePair (i, j, stopped))
            {
                deviceName = inputNames[i];
                return true;
            }

            closeDevice();

            if (stopped)
                return false;
        }
    }

    return false;
}

bool Midi::probePair (int inputIndex, int outputIndex, bool& stopped)
{
    // The ports held before are deleted before the new ones are opened, so that a
    // system that opens each port only once can still reopen the same port.
    midiInput.reset();
    midiInput = ports->openInput (inputIndex, *this);

    if (midiInput == nullptr)
        return false;

    midiInput->start();

    midiOutput.reset();
    midiOutput = ports->openOutput (outputIndex);

    if (midiOutput == nullptr)
        return false;

    const auto probe = deviceCommand (static_cast<juce::uint8> (modelByte.load() & 0xff), probeCommand);
    midiOutput->sendMessageNow (juce::MidiMessage::createSysExMessage (probe.begin(), probe.size()));

    if (!pause (timing.probeWaitMs))
    {
        stopped = true;
        return false;
    }

    return deviceAnswered.load();
}

void Midi::closeDevice()
{
    deviceName = {};

    // Deleting the input waits for a callback that is running; the callback may be
    // waiting for receiveLock, so that lock must not be held here.
    midiInput.reset();
    midiOutput.reset();

    deviceAnswered = false;
}

void Midi::getDeviceName (juce::String& name)
{
    name = deviceName;
}

//==============================================================================
bool Midi::sendAndReceive (const juce::Array<juce::uint8>& request, juce::Array<juce::uint8>& reply,
                           int maxPauses)
{
    if (!isOpen())
        return false;

    // The pedal answers a request with its command byte as reply code. The code is
    // set before the buffer is emptied, so whatever arrives after the emptying is
    // judged by it; flag and buffer are emptied together, so that a message arriving
    // in between cannot leave the flag set over an empty buffer.
    awaitedReply = replyCodeFor (request);
    {
        const std::lock_guard<std::mutex> lock (receiveLock);
        receiveBuffer.clear();
        replyReceived = false;
    }

    sendSysEx (request);

    // The flag is looked at right after the send and after each pause but the last:
    // a reply first seen after the last pause is too late.
    for (int pausesMade = 0; pausesMade < maxPauses; ++pausesMade)
    {
        if (replyReceived.load())
        {
            const std::lock_guard<std::mutex> lock (receiveLock);
            reply.clearQuick();
            reply.addArray (receiveBuffer);
            return true;
        }

        if (!pause (timing.pollPauseMs))
            return false;
    }

    return false;
}

bool Midi::sendSysEx (const juce::Array<juce::uint8>& message)
{
    if (!isOpen())
        return false;

    if (!message.isEmpty() && message.getFirst() == 0xf0)
    {
        midiOutput->sendMessageNow (juce::MidiMessage (message.begin(), message.size(), 0.0));
    }
    else
    {
        // An empty array has no storage; the framing still wants a valid pointer.
        static constexpr juce::uint8 nothing = 0;
        const auto* data = message.isEmpty() ? &nothing : message.begin();
        midiOutput->sendMessageNow (juce::MidiMessage::createSysExMessage (data, message.size()));
    }

    return true;
}

//==============================================================================
void Midi::handleIncomingMidiMessage (juce::MidiInput*, const juce::MidiMessage& message)
{
    if (!message.isSysEx())
        return;

    // A lone F0 gives a negative size: treat it like any other message too short
    // to carry the device header.
    const int size = message.getSysExDataSize();
    const auto* data = message.getSysExData();

    if (size < deviceHeaderSize || data == nullptr)
        return;

    const juce::uint8 header[deviceHeaderSize] = {manufacturerId[0], manufacturerId[1], manufacturerId[2],
                                                  0x00, static_cast<juce::uint8> (modelByte.load() & 0xff)};

    for (int k = 0; k < deviceHeaderSize; ++k)
        if (data[k] != header[k])
            return;

    if (size > deviceHeaderSize && data[deviceHeaderSize] == acknowledgeCommand)
    {
        deviceAnswered = true;
        return;
    }

    // Malformed or unrelated messages of the pedal (the bare header, unknown
    // commands) are not the answer; taken for it they would corrupt the revision.
    const auto awaited = awaitedReply.load();
    if (awaited >= 0 && (size <= deviceHeaderSize || data[deviceHeaderSize] != awaited))
        return;

    // The first answer is the reply: a second one glued to it would be read as more
    // bytes of the first. The bytes are in place before the flag is seen set.
    const std::lock_guard<std::mutex> lock (receiveLock);
    if (replyReceived.load())
        return;

    receiveBuffer.addArray (data, size);
    replyReceived = true;
}

int Midi::replyCodeFor (const juce::Array<juce::uint8>& request)
{
    // A complete message carries F0 before its data.
    const int commandPosition = deviceHeaderSize + (!request.isEmpty() && request.getFirst() == 0xf0 ? 1 : 0);

    if (request.size() <= commandPosition || request[commandPosition] == 0xf7)
        return -1;

    return request[commandPosition];
}

//==============================================================================
bool Midi::pause (int milliseconds)
{
    auto* thread = juce::Thread::getCurrentThread();

    if (thread == nullptr)
    {
        juce::Thread::sleep (milliseconds);
        return true;
    }

    // Thread::wait() also returns when anything notifies the thread, so wait again
    // for what is left unless the thread is asked to exit.
    const auto end = juce::Time::getMillisecondCounterHiRes() + milliseconds;

    for (;;)
    {
        if (thread->threadShouldExit())
            return false;

        const auto left = end - juce::Time::getMillisecondCounterHiRes();

        if (left <= 0.0)
            return true;

        thread->wait (juce::jmax (1, static_cast<int> (std::ceil (left))));
    }
}

} // namespace midi
