// Incoming MIDI against the transport: whatever the ports deliver, in whatever
// order, the search finds the pair whose device acknowledged the probe when exactly
// one did, and once, and none when several did,
// and an exchange hands back exactly the data of the device's first answer to the
// request, or fails leaving the caller's array as it was.
//
// Input: model byte; input port names; output port names; request form, command
// byte and number of pauses; a burst of messages delivered outside any exchange;
// then the bursts the devices answer with, one per message sent (FuzzedMessages).

#include "midi/Midi.h"
#include "midi/SysExFormat.h"
#include "support/FuzzCheck.h"
#include "support/FuzzInput.h"
#include "support/FuzzTarget.h"
#include "support/FuzzedMessages.h"
#include "support/ScriptedPorts.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

using fuzzing::FuzzedMessages;
using fuzzing::FuzzInput;
using fuzzing::ScriptedPorts;

namespace
{

// Names are picked from a few, so that pairs of equal names are common; "!" marks a
// port that cannot be opened.
const char* const portNames[] = {"Verrano2 Boot", "Verrano2", "VERRANO2 BOOT", "!Verrano2 Boot"};

juce::StringArray readNames (FuzzInput& input)
{
    // Each name once in a list: the device behind an output answers on the input of its
    // name (the tests of the search cover ports of one name listed twice).
    juce::StringArray names;
    const auto count = input.nextInRange (0, 3);

    for (int i = 0; i < count; ++i)
        names.addIfNotAlreadyThere (portNames[input.nextInRange (0, 3)]);

    return names;
}

juce::Array<juce::uint8> bytesOf (const juce::MidiMessage& message)
{
    return {message.getRawData(), message.getRawDataSize()};
}

/** The data bytes, when the message is SysEx whose data begin with the device header. */
bool isFromDevice (const juce::MidiMessage& message, juce::uint8 modelByte)
{
    if (!message.isSysEx() || message.getSysExDataSize() < midi::deviceHeaderSize)
        return false;

    const auto header = midi::deviceHeader (modelByte);
    return std::equal (header.begin(), header.end(), message.getSysExData());
}

bool isAcknowledgement (const juce::MidiMessage& message, juce::uint8 modelByte)
{
    return isFromDevice (message, modelByte) && message.getSysExDataSize() > midi::deviceHeaderSize &&
           message.getSysExData()[midi::deviceHeaderSize] == midi::acknowledgeCommand;
}

/** True for a message of the device that answers a request awaiting this reply code (-1: any). */
bool answers (const juce::MidiMessage& message, juce::uint8 modelByte, int awaited)
{
    if (!isFromDevice (message, modelByte) || isAcknowledgement (message, modelByte))
        return false;

    return awaited < 0 || (message.getSysExDataSize() > midi::deviceHeaderSize &&
                           message.getSysExData()[midi::deviceHeaderSize] == awaited);
}

struct Request
{
    juce::Array<juce::uint8> bytes;
    int awaited = -1; ///< the reply code that answers it, -1 when it carries no command
};

/** A request as the downloader could hand it to the transport: data bytes with a
    command, a complete message with one, or the bare device header in either form. */
Request readRequest (FuzzInput& input, juce::uint8 modelByte)
{
    const auto form = input.nextInRange (0, 3);
    const auto command = static_cast<juce::uint8> (input.nextByte() & 0x7f);

    Request request;
    if (form == 1 || form == 3)
        request.bytes.add (0xf0);

    request.bytes.addArray (midi::deviceHeader (modelByte));

    if (form <= 1)
    {
        request.bytes.add (command);
        request.awaited = command;
    }

    if (form == 1 || form == 3)
        request.bytes.add (0xf7);

    return request;
}

juce::Array<juce::uint8> onTheWire (const juce::Array<juce::uint8>& request)
{
    if (!request.isEmpty() && request.getFirst() == 0xf0)
        return request;

    juce::Array<juce::uint8> framed;
    framed.add (0xf0);
    framed.addArray (request);
    framed.add (0xf7);
    return framed;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    FuzzInput input (data, size);

    const auto modelByte = input.nextByte();
    const auto inputNames = readNames (input);
    const auto outputNames = readNames (input);
    const auto request = readRequest (input, modelByte);
    const auto maxPauses = input.nextInRange (1, 3);
    const auto noise = FuzzedMessages::readBurst (input, modelByte, 4);

    std::deque<std::vector<juce::MidiMessage>> script;
    while (!input.isEmpty() && script.size() < 16)
        script.push_back (FuzzedMessages::readBurst (input, modelByte, 4));

    auto portLayer = std::make_unique<ScriptedPorts> (inputNames, outputNames, script);
    auto& ports = *portLayer;
    // A probe wait of 1 ms: the scripted devices answer while the probe is sent, and the
    // wait begins once the send has returned.
    midi::Midi transport (std::move (portLayer), midi::Timing{1, 0});

    //==============================================================================
    // The search: every pair of equal names whose ports open gets one probe, in the
    // inputs' list order, all before any answer is judged; the pair is found only
    // when it is the one device that acknowledged, and acknowledged once (a second
    // acknowledgement could be the late answer to an earlier probe).
    juce::StringArray answered;
    bool answeredOnce = false;
    size_t expectedProbes = 0;

    for (int i = 0; i < inputNames.size(); ++i)
    {
        if (inputNames[i].startsWithChar ('!') || !outputNames.contains (inputNames[i]))
            continue;

        const auto& answer =
            expectedProbes < script.size() ? script[expectedProbes] : std::vector<juce::MidiMessage>();
        ++expectedProbes;

        const auto acknowledgements = std::count_if (answer.begin(), answer.end(),
                                                     [modelByte] (const juce::MidiMessage& m)
                                                     { return isAcknowledgement (m, modelByte); });
        if (acknowledgements > 0)
        {
            answered.add (inputNames[i]);
            answeredOnce = acknowledgements == 1;
        }
    }

    const auto expectedName = answered.size() == 1 && answeredOnce ? answered[0] : juce::String();

    const bool found = transport.findDevice (modelByte);
    juce::String name;
    transport.getDeviceName (name);

    FUZZ_CHECK (found == expectedName.isNotEmpty());
    FUZZ_CHECK (transport.getNumAnswered() == answered.size());
    FUZZ_CHECK (name == expectedName);
    FUZZ_CHECK (ports.getSent().size() == expectedProbes);
    FUZZ_CHECK (ports.getOpenInputs() == (found ? 1 : 0) && ports.getOpenOutputs() == (found ? 1 : 0));

    const auto probe = onTheWire (midi::deviceCommand (modelByte, midi::probeCommand));
    for (auto& sent : ports.getSent())
        FUZZ_CHECK (bytesOf (sent.message) == probe);

    //==============================================================================
    // Messages outside any exchange must not leak into the next one.
    for (auto& message : noise)
        transport.handleIncomingMidiMessage (nullptr, message);

    // Exchanges: each is answered by the next burst of the script.
    const juce::Array<juce::uint8> untouched{juce::uint8{0xaa}, juce::uint8{0x55}};

    for (int exchange = 0; exchange < 4; ++exchange)
    {
        const auto sentBefore = ports.getSent().size();
        auto reply = untouched;
        const bool replied = transport.sendAndReceive (request.bytes, reply, maxPauses);

        if (!found)
        {
            FUZZ_CHECK (!replied && reply == untouched && ports.getSent().size() == sentBefore);
            break;
        }

        FUZZ_CHECK (ports.getSent().size() == sentBefore + 1);
        FUZZ_CHECK (bytesOf (ports.getSent().back().message) == onTheWire (request.bytes));

        const auto& answer = ports.getDelivered().back();
        const auto first = std::find_if (answer.begin(), answer.end(),
                                         [&] (const juce::MidiMessage& m)
                                         { return answers (m, modelByte, request.awaited); });

        if (first == answer.end())
        {
            FUZZ_CHECK (!replied && reply == untouched);
        }
        else
        {
            FUZZ_CHECK (replied);
            FUZZ_CHECK (reply == juce::Array<juce::uint8> (first->getSysExData(), first->getSysExDataSize()));
        }
    }

    transport.closeDevice();
    transport.getDeviceName (name);
    FUZZ_CHECK (name.isEmpty() && ports.getOpenInputs() == 0 && ports.getOpenOutputs() == 0);
    FUZZ_CHECK (!transport.sendSysEx (request.bytes));
    return 0;
}
