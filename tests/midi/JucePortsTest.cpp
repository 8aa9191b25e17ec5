// The shipped port layer over the system's own MIDI: wherever the tests run, with
// or without a MIDI system, and over "Midi Through" where there is one (a desktop
// with ALSA, the test VM).
#include "midi/JucePorts.h"
#include "PedalBytes.h"
#include "midi/Midi.h"

#include <gtest/gtest.h>

#include <utility>

using namespace midi_testing;

namespace
{

/** Keeps complete SysEx messages that arrive on JUCE's input thread. */
struct SysExCollector : juce::MidiInputCallback
{
    void handleIncomingMidiMessage (juce::MidiInput*, const juce::MidiMessage& message) override
    {
        if (!message.isSysEx())
            return;

        {
            const juce::ScopedLock sl (lock);
            received.emplace_back (message.getRawData(), message.getRawDataSize());
        }
        arrived.signal();
    }

    std::vector<juce::Array<juce::uint8>> take()
    {
        const juce::ScopedLock sl (lock);
        return std::exchange (received, {});
    }

    juce::CriticalSection lock;
    std::vector<juce::Array<juce::uint8>> received;
    juce::WaitableEvent arrived;
};

/** Whether the system offers MIDI at all. On Linux that is ALSA's sequencer device,
    which containers and build machines usually lack. */
bool systemHasMidi()
{
#if JUCE_LINUX
    return juce::File ("/dev/snd/seq").exists();
#else
    return true;
#endif
}

/** A block package's size: 5 header bytes, the command, 591 packed bytes, framed. */
juce::Array<juce::uint8> blockSizedSysEx()
{
    const juce::uint8 start[] = {0xf0, 0x7d}; // 7D: the id for non-commercial use
    juce::Array<juce::uint8> bytes (start, 2);
    for (int i = 0; bytes.size() < 598; ++i)
        bytes.add (static_cast<juce::uint8> (i % 0x80));
    bytes.add (0xf7);
    return bytes;
}

} // namespace

//==============================================================================
TEST (JucePorts, WithoutAMidiSystemListsAndOpensNothing)
{
    if (systemHasMidi())
        GTEST_SKIP() << "this system has MIDI";

    midi::JucePorts ports;
    SysExCollector callback;

    EXPECT_TRUE (ports.getInputNames().isEmpty());
    EXPECT_TRUE (ports.getOutputNames().isEmpty());
    EXPECT_EQ (ports.openInput (0, callback), nullptr);
    EXPECT_EQ (ports.openOutput (0), nullptr);

    midi::Midi transport (std::make_unique<midi::JucePorts>(), {20, 1});
    EXPECT_FALSE (transport.findDevice (pedalModel));
    EXPECT_FALSE (transport.sendSysEx (bytesOf ({0xf0, 0xf7})));
}

TEST (JucePorts, OnlyPositionsOfTheLastListingOpen)
{
    midi::JucePorts ports;
    SysExCollector callback;

    // Before any listing there is no position to open, whatever the system offers.
    EXPECT_EQ (ports.openInput (0, callback), nullptr);
    EXPECT_EQ (ports.openOutput (0), nullptr);

    const auto inputs = ports.getInputNames();
    const auto outputs = ports.getOutputNames();
    EXPECT_EQ (ports.openInput (inputs.size(), callback), nullptr);
    EXPECT_EQ (ports.openOutput (outputs.size()), nullptr);
    EXPECT_EQ (ports.openInput (-1, callback), nullptr);
    EXPECT_EQ (ports.openOutput (-1), nullptr);
}

TEST (JucePorts, SysExThroughMidiThroughArrivesWholeAndItsEchoIsNoPedal)
{
    midi::JucePorts ports;
    const auto inputs = ports.getInputNames();
    const auto outputs = ports.getOutputNames();
    const juce::String through ("Midi Through Port-0");

    if (!inputs.contains (through) || !outputs.contains (through))
        GTEST_SKIP() << "no \"" << through << "\" on this system";

    {
        SysExCollector callback;
        auto input = ports.openInput (inputs.indexOf (through), callback);
        auto output = ports.openOutput (outputs.indexOf (through));
        ASSERT_NE (input, nullptr);
        ASSERT_NE (output, nullptr);
        input->start();

        const auto sent = blockSizedSysEx();
        output->sendMessageNow (juce::MidiMessage (sent.begin(), sent.size()));

        std::vector<juce::Array<juce::uint8>> received;
        for (int waits = 0; received.empty() && waits < 50; ++waits)
            if (callback.arrived.wait (100))
                received = callback.take();

        ASSERT_EQ (received.size(), 1u);
        EXPECT_EQ (received.front(), sent);
    }

    // Midi Through hands the probe straight back: that echo is not the pedal's
    // acknowledgement. (A desktop with a pedal connected may of course find it.)
    const auto pedalConnected = [] (const juce::StringArray& names)
    { return names.joinIntoString ("\n").containsIgnoreCase ("Verrano2"); };

    if (pedalConnected (inputs) || pedalConnected (outputs))
        GTEST_SKIP() << "a pedal is connected";

    midi::Midi transport (std::make_unique<midi::JucePorts>(), {100, 1});
    EXPECT_FALSE (transport.findDevice (pedalModel));
}
