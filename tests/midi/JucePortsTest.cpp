#include "midi/JucePorts.h"
#include "midi/Midi.h"

#include <gtest/gtest.h>

namespace
{

struct NoCallback : juce::MidiInputCallback
{
    void handleIncomingMidiMessage (juce::MidiInput*, const juce::MidiMessage&) override {}
};

} // namespace

// This machine has no MIDI system: the real port layer must report no ports and
// refuse to open any, without crashing, and the transport over it finds nothing.
TEST (JucePorts, WithoutAMidiSystemListsAndOpensNothing)
{
    midi::JucePorts ports;
    NoCallback callback;

    EXPECT_TRUE (ports.getInputNames().isEmpty());
    EXPECT_TRUE (ports.getOutputNames().isEmpty());
    EXPECT_EQ (ports.openInput (0, callback), nullptr);
    EXPECT_EQ (ports.openOutput (0), nullptr);
    EXPECT_EQ (ports.openInput (-1, callback), nullptr);

    midi::Midi transport (std::make_unique<midi::JucePorts>(), {20, 1});
    EXPECT_FALSE (transport.findDevice (0x2e));
    EXPECT_FALSE (transport.sendSysEx ({0xf0, 0xf7}));
}
