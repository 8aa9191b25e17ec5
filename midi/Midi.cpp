#include "midi/Midi.h"

#include "midi/SevenBitPacking.h"
#include "midi/SysExFormat.h"
#include "midi/ThreadPause.h"

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
    numAnswered = 0;

    // Ports still held would hear the pedal's answer a second time.
    closeDevice();

    PortProbe probe (*ports, static_cast<juce::uint8> (model & 0xff), timing.probeWaitMs);

    // A search cut short by a stop request says nothing about the pedals.
    if (!probe.run())
        return false;

    const auto& report = probe.getReport();
    numAnswered = report.countPedals();
    describe (report);

    // Two pedals answer alike: nothing later could tell whose revision came back.
    const auto pedal = report.onlyPedal();
    bool stopped = false;
    if (!pedal.has_value() || !adopt (probe, *pedal, stopped))
        return false;

    deviceAnswered = true;

    if (stepTrace)
        stepTrace ("search: found \"" + deviceName + "\"");

    return true;
}

bool Midi::adopt (PortProbe& probe, size_t pairIndex, bool& stopped)
{
    OpenPair pair;
    if (!probe.takePair (pairIndex, *this, pair, stopped))
        return false;

    closeDevice();
    inputListener = std::move (pair.listener);
    midiInput = std::move (pair.input);
    midiOutput = std::move (pair.output);
    deviceName = probe.getReport().pairs[pairIndex].name;
    return true;
}

SearchReport Midi::survey (int model)
{
    modelByte = model;
    closeDevice();

    PortProbe probe (*ports, static_cast<juce::uint8> (model & 0xff), timing.probeWaitMs);
    if (!probe.run())
        return {};

    auto report = probe.getReport();
    numAnswered = report.countPedals();

    for (size_t k = 0; k < report.pairs.size(); ++k)
    {
        bool stopped = false;
        if (!report.pairs[k].answered || !adopt (probe, k, stopped))
        {
            if (stopped)
                break;
            continue;
        }

        juce::Array<juce::uint8> reply;
        if (sendAndReceive (deviceCommand (static_cast<juce::uint8> (model & 0xff), revisionQueryCommand),
                            reply, revisionReplyPauses))
            report.pairs[k].revision = decodeRevision (reply);

        closeDevice();
    }

    return report;
}

void Midi::describe (const SearchReport& report) const
{
    if (!stepTrace)
        return;

    stepTrace ("ports: inputs [" + report.inputs.joinIntoString (", ") + "], outputs [" +
               report.outputs.joinIntoString (", ") + "]");

    int probed = 0;
    for (const auto& pair : report.pairs)
    {
        probed += pair.probed ? 1 : 0;

        if (pair.answered)
            stepTrace ("search: \"" + pair.name + "\" acknowledged the probe after " +
                       juce::String (pair.answerMs, 2) + " ms" +
                       (pair.answeredTwice ? ", and once more: one of them answered an earlier probe" : ""));
        else if (pair.answeredLate)
            stepTrace ("search: \"" + pair.name + "\" acknowledged outside the probe wait, " +
                       juce::String (pair.answerMs, 2) +
                       " ms from the probe: a pedal, but not one to update");
    }

    const auto answered = report.countPedals();
    stepTrace ("search: " + juce::String (probed) + " of " + juce::String (report.pairs.size()) +
               " pairs of equal name probed; " +
               (answered == 0   ? juce::String ("no pedal answered")
                : answered == 1 ? juce::String ("one pedal answered")
                                : juce::String (answered) + " pedals answered"));
}

void Midi::closeDevice()
{
    deviceName = {};

    // Deleting the input waits for a callback that is running; the callback may be
    // waiting for receiveLock, so that lock must not be held here.
    midiInput.reset();
    inputListener.reset();
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

        if (!pauseUnlessStopped (timing.pollPauseMs))
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

    const auto model = static_cast<juce::uint8> (modelByte.load() & 0xff);

    if (!startsWithDeviceHeader (data, size, model))
        return;

    if (isAcknowledgement (data, size, model))
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

} // namespace midi
