#include "BorrowedPortLayer.h"
#include "FakePortLayer.h"
#include "PedalBytes.h"
#include "WorkerThread.h"
#include "midi/Midi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

using namespace midi_testing;

namespace
{

constexpr midi::Timing quick{20, 1};

std::unique_ptr<midi::Midi> transportOver (FakePortLayer& ports, midi::Timing timing = quick)
{
    return std::make_unique<midi::Midi> (std::make_unique<BorrowedPortLayer> (ports), timing);
}

std::vector<int> outputsProbed (const FakePortLayer& ports)
{
    std::vector<int> outputs;
    for (auto& s : ports.sent())
        outputs.push_back (s.output);
    return outputs;
}

juce::String nameOf (midi::Midi& transport)
{
    juce::String name{"unchanged"};
    transport.getDeviceName (name);
    return name;
}

} // namespace

//==============================================================================
TEST (FindDevice, NoPortsOrNoEqualNamesFindsNothingAndSendsNothing)
{
    {
        FakePortLayer ports ({}, {});
        auto transport = transportOver (ports);
        EXPECT_FALSE (transport->findDevice (pedalModel));
    }

    // Names that differ in letter case, spacing or length are not a pair, even if
    // a pedal would answer on them.
    FakePortLayer ports ({"Verrano2 Boot"}, {"verrano2 boot", "Verrano2 Boot ", "Verrano2", "VERRANO2 BOOT"});
    for (int j = 0; j < 4; ++j)
        ports.setScript (j, 0, answeringPedal());

    auto transport = transportOver (ports);
    EXPECT_FALSE (transport->findDevice (pedalModel));
    EXPECT_TRUE (ports.sent().empty());
    EXPECT_EQ (ports.timesInputOpened (0), 0);
    EXPECT_EQ (nameOf (*transport), juce::String());
}

TEST (FindDevice, ProbesTheEqualNamedPairAndKeepsItOpen)
{
    FakePortLayer ports ({"Verrano2 Boot"}, {"verrano2 boot", "Verrano2 Boot"});
    ports.setScript (0, 0, answeringPedal());
    ports.setScript (1, 0, answeringPedal());

    auto transport = transportOver (ports);
    ASSERT_TRUE (transport->findDevice (pedalModel));

    ASSERT_EQ (ports.sent().size(), 1u);
    EXPECT_EQ (ports.sent()[0].output, 1);
    EXPECT_EQ (ports.sent()[0].bytes, bytesOf ({0xf0, 0x00, 0x6c, 0x51, 0x00, 0x2e, 0x00, 0xf7}));

    EXPECT_EQ (nameOf (*transport), "Verrano2 Boot");
    EXPECT_TRUE (ports.isInputOpen (0));
    EXPECT_TRUE (ports.isOutputOpen (1));
    EXPECT_FALSE (ports.isOutputOpen (0));
}

TEST (FindDevice, SeveralPedalsAnsweringAreCountedAndNoneIsKept)
{
    // Two pedals (one listed before, one after a silent device), each answering on its
    // own input whichever output carries the probe to it.
    FakePortLayer ports ({"Alpha", "Synth", "Beta"}, {"Beta", "Synth", "Alpha"});
    ports.setScript (2, 0, answeringPedal());
    ports.setScript (0, 2, answeringPedal());

    auto transport = transportOver (ports);
    EXPECT_FALSE (transport->findDevice (pedalModel));
    EXPECT_EQ (transport->getNumAnswered(), 2);
    EXPECT_EQ (nameOf (*transport), juce::String());
    EXPECT_FALSE (transport->sendSysEx (pedalData ({0x03})));

    // Every pair got the probe once, and nothing stays open.
    auto probed = outputsProbed (ports);
    std::sort (probed.begin(), probed.end());
    EXPECT_EQ (probed, std::vector<int> ({0, 1, 2}));
    for (int k = 0; k < 3; ++k)
    {
        EXPECT_FALSE (ports.isInputOpen (k));
        EXPECT_FALSE (ports.isOutputOpen (k));
    }

    // Unplug one: the other is found, and the count says one.
    ports.setScript (0, 2, pedal ({}));
    ASSERT_TRUE (transport->findDevice (pedalModel));
    EXPECT_EQ (transport->getNumAnswered(), 1);
    EXPECT_EQ (nameOf (*transport), "Alpha");
}

TEST (FindDevice, AllPairsShareOneProbeWait)
{
    // Twenty silent pairs before and after the pedal: probed one after another they
    // would take 40 probe waits.
    juce::StringArray names;
    for (int k = 0; k < 41; ++k)
        names.add (k == 20 ? juce::String ("Pedal") : "Device " + juce::String (k));

    FakePortLayer ports (names, names);
    ports.setScript (20, 20, answeringPedal());

    auto transport = transportOver (ports, {200, 1});
    const auto started = juce::Time::getMillisecondCounterHiRes();
    ASSERT_TRUE (transport->findDevice (pedalModel));
    EXPECT_LT (juce::Time::getMillisecondCounterHiRes() - started, 8 * 200.0);

    EXPECT_EQ (nameOf (*transport), "Pedal");
    EXPECT_EQ (ports.sent().size(), 41u);
    for (int k = 0; k < 41; ++k)
    {
        EXPECT_EQ (ports.isInputOpen (k), k == 20) << k;
        EXPECT_EQ (ports.isOutputOpen (k), k == 20) << k;
    }
}

TEST (FindDevice, OutputsOfOneNameAreTriedOneByOneForTheAnsweringInput)
{
    // Pairs: "Synth" (0,1); "Pedal" with outputs 0 and 2, of which only 2 reaches the
    // pedal. All are probed at once; then 0 and 2 alone, in list order.
    FakePortLayer ports ({"Synth", "Pedal"}, {"Pedal", "Synth", "Pedal"});
    ports.setScript (2, 1, answeringPedal());

    auto transport = transportOver (ports);
    ASSERT_TRUE (transport->findDevice (pedalModel));

    EXPECT_EQ (outputsProbed (ports), std::vector<int> ({1, 0, 2, 0, 2}));
    EXPECT_EQ (nameOf (*transport), "Pedal");
    EXPECT_EQ (transport->getNumAnswered(), 1);
    EXPECT_FALSE (ports.isInputOpen (0));
    EXPECT_TRUE (ports.isInputOpen (1));
    EXPECT_FALSE (ports.isOutputOpen (0));
    EXPECT_FALSE (ports.isOutputOpen (1));
    EXPECT_TRUE (ports.isOutputOpen (2));
    EXPECT_EQ (ports.timesInputOpened (1), 1);
}

TEST (FindDevice, FailedSearchLeavesNothingOpen)
{
    FakePortLayer ports ({"Pedal", "Pedal"}, {"Pedal", "Pedal"});

    auto transport = transportOver (ports);
    EXPECT_FALSE (transport->findDevice (pedalModel));
    EXPECT_EQ (transport->getNumAnswered(), 0);

    // Each output carries the probe once, for both inputs of its name.
    EXPECT_EQ (outputsProbed (ports), std::vector<int> ({0, 1}));
    for (int k = 0; k < 2; ++k)
    {
        EXPECT_FALSE (ports.isInputOpen (k));
        EXPECT_FALSE (ports.isOutputOpen (k));
    }
    EXPECT_EQ (nameOf (*transport), juce::String());
}

TEST (FindDevice, SurveyAsksEachPedalForItsRevisionAndLeavesNothingOpen)
{
    // Revision 1222 is C6 04 00 00; packed: high-bits byte 40 (the top bit of C6), then 46 04 00 00.
    FakePortLayer ports ({"Boot", "Silent", "Normal"}, {"Boot", "Silent", "Normal"});
    ports.setScript (0, 0,
                     answeringPedal ({atOnce (framed (pedalData ({0x03, 0x40, 0x46, 0x04, 0x00, 0x00})))}));
    ports.setScript (2, 2, answeringPedal());

    auto transport = transportOver (ports);
    const auto report = transport->survey (pedalModel);

    EXPECT_EQ (report.inputs, juce::StringArray ({"Boot", "Silent", "Normal"}));
    ASSERT_EQ (report.pairs.size(), 3u);
    EXPECT_TRUE (report.pairs[0].answered);
    EXPECT_EQ (report.pairs[0].revision, std::optional<juce::int32> (1222));
    EXPECT_TRUE (report.pairs[1].probed);
    EXPECT_FALSE (report.pairs[1].answered);
    EXPECT_FALSE (report.pairs[1].revision.has_value());
    EXPECT_TRUE (report.pairs[2].answered); // no answer to the revision query
    EXPECT_FALSE (report.pairs[2].revision.has_value());
    EXPECT_EQ (report.countPedals(), 2);

    const auto queries = framed (pedalData ({0x03}));
    int queriesSent = 0;
    for (const auto& sent : ports.sent())
        queriesSent += sent.bytes == queries ? 1 : 0;
    EXPECT_EQ (queriesSent, 2);
    for (int k = 0; k < 3; ++k)
    {
        EXPECT_FALSE (ports.isInputOpen (k));
        EXPECT_FALSE (ports.isOutputOpen (k));
    }
}

TEST (FindDevice, OnlyTheAcknowledgementOfThisModelCounts)
{
    const juce::Array<juce::Array<juce::uint8>> notAnAcknowledgement{
        framed (pedalData ({0x01}, 0x2f)),                       // another model
        framed (bytesOf ({0x00, 0x20, 0x33, 0x00, 0x2e, 0x01})), // another maker
        framed (pedalData ({0x03, 0x00, 0x46, 0x04})),           // a reply
        framed (pedalData ({})),                                 // header alone
        framed (bytesOf ({0x00, 0x6c, 0x51})),                   // cut short
        bytesOf ({0x90, 0x3c, 0x64}),                            // a note
        bytesOf ({0xf8}),                                        // clock
    };

    for (const auto& answer : notAnAcknowledgement)
    {
        FakePortLayer ports ({"Pedal"}, {"Pedal"});
        ports.setScript (0, 0, pedal ({atOnce (answer)}));

        auto transport = transportOver (ports);
        EXPECT_FALSE (transport->findDevice (pedalModel))
            << juce::String::toHexString (answer.begin(), answer.size());
        EXPECT_FALSE (ports.isInputOpen (0));
    }

    // Bytes after the acknowledgement code do not matter.
    FakePortLayer ports ({"Pedal"}, {"Pedal"});
    ports.setScript (0, 0, pedal ({atOnce (framed (pedalData ({0x01, 0x7f, 0x00})))}));
    auto transport = transportOver (ports);
    EXPECT_TRUE (transport->findDevice (pedalModel));
}

TEST (FindDevice, AcknowledgementWithinTheProbeWaitFromTheInputThread)
{
    FakePortLayer ports ({"Pedal"}, {"Pedal"});
    ports.setScript (0, 0, pedal ({later (framed (pedalData ({0x01})))}));

    // A long wait, so that a loaded machine cannot make the immediate answer late.
    auto transport = transportOver (ports, {1000, 1});
    EXPECT_TRUE (transport->findDevice (pedalModel));
}

TEST (FindDevice, AcknowledgementAfterTheProbeWaitIsTooLate)
{
    FakePortLayer ports ({"Pedal"}, {"Pedal"});
    ports.setScript (0, 0, pedal ({later (framed (pedalData ({0x01})), 1000)}));

    auto transport = transportOver (ports, {50, 1});
    EXPECT_FALSE (transport->findDevice (pedalModel));
    EXPECT_FALSE (ports.isInputOpen (0));
}

TEST (FindDevice, APedalAnsweringLateOrTwiceBesideTheAnsweringOneIsNoneToUpdate)
{
    // A second pedal acknowledging at one and a half probe waits: too late to be
    // updated, yet a pedal, so no update may go to the other.
    const auto acknowledgement = framed (pedalData ({0x01}));
    {
        FakePortLayer ports ({"Pedal", "Slow"}, {"Pedal", "Slow"});
        ports.setScript (0, 0, answeringPedal());
        ports.setScript (1, 1, pedal ({later (acknowledgement, 300)}));

        auto transport = transportOver (ports, {200, 1});
        EXPECT_FALSE (transport->findDevice (pedalModel));
        EXPECT_EQ (transport->getNumAnswered(), 2);
        EXPECT_FALSE (ports.isInputOpen (0));

        const auto report = transport->survey (pedalModel);
        ASSERT_EQ (report.pairs.size(), 2u);
        EXPECT_TRUE (report.pairs[0].answered);
        EXPECT_FALSE (report.pairs[1].answered);
        EXPECT_TRUE (report.pairs[1].answeredLate);
        EXPECT_GE (report.pairs[1].answerMs, 300.0);
    }

    // Two acknowledgements of one probe: one of them answered an earlier probe (a
    // pedal late by about the time between two searches looks just like this), so
    // neither says the pair heard this one.
    FakePortLayer ports ({"Pedal"}, {"Pedal"});
    ports.setScript (0, 0, pedal ({atOnce (acknowledgement), later (acknowledgement, 50)}));

    auto transport = transportOver (ports, {200, 1});
    EXPECT_FALSE (transport->findDevice (pedalModel));
    EXPECT_EQ (transport->getNumAnswered(), 1);
    EXPECT_FALSE (ports.isInputOpen (0));
}

TEST (FindDevice, PairWithAPortThatCannotBeOpenedIsSkipped)
{
    {
        FakePortLayer ports ({"Pedal", "Pedal"}, {"Pedal"});
        ports.refuseInput (0);
        ports.setScript (0, 1, answeringPedal());

        auto transport = transportOver (ports);
        ASSERT_TRUE (transport->findDevice (pedalModel));
        EXPECT_EQ (ports.sent().size(), 1u);
        EXPECT_TRUE (ports.isInputOpen (1));
    }
    {
        FakePortLayer ports ({"Pedal"}, {"Pedal", "Pedal"});
        ports.refuseOutput (0);
        ports.setScript (1, 0, answeringPedal());

        auto transport = transportOver (ports);
        ASSERT_TRUE (transport->findDevice (pedalModel));
        EXPECT_EQ (outputsProbed (ports), std::vector<int> ({1}));
        EXPECT_TRUE (ports.isOutputOpen (1));
        EXPECT_EQ (ports.timesInputOpened (0), 1);
    }
    {
        FakePortLayer ports ({"Pedal"}, {"Pedal"});
        ports.refuseOutput (0);
        ports.setScript (0, 0, answeringPedal());

        auto transport = transportOver (ports);
        EXPECT_FALSE (transport->findDevice (pedalModel));
        EXPECT_FALSE (ports.isInputOpen (0));
        EXPECT_FALSE (transport->sendSysEx (pedalData ({0x03})));
    }
}

TEST (FindDevice, CloseDeviceAndDestructionCloseBothPorts)
{
    FakePortLayer ports ({"Pedal"}, {"Pedal"});
    ports.setScript (0, 0, answeringPedal());

    auto transport = transportOver (ports);
    transport->closeDevice(); // nothing open yet

    ASSERT_TRUE (transport->findDevice (pedalModel));
    transport->closeDevice();
    EXPECT_FALSE (ports.isInputOpen (0));
    EXPECT_FALSE (ports.isOutputOpen (0));
    EXPECT_EQ (nameOf (*transport), juce::String());
    transport->closeDevice();

    ASSERT_TRUE (transport->findDevice (pedalModel));
    transport.reset();
    EXPECT_FALSE (ports.isInputOpen (0));
    EXPECT_FALSE (ports.isOutputOpen (0));
}

TEST (FindDevice, EndsPromptlyWhenItsThreadIsAskedToExit)
{
    // Three silent pairs with a long probe wait: a search that ignored the request
    // would take ten seconds.
    FakePortLayer ports ({"Pedal"}, {"Pedal", "Pedal", "Pedal"});
    auto transport = transportOver (ports, {10000, 1});

    std::atomic<int> result{-1};
    WorkerThread worker ([&] { result = transport->findDevice (pedalModel) ? 1 : 0; });
    worker.startThread();

    ASSERT_TRUE (ports.waitForSends (3));
    EXPECT_TRUE (worker.stopThread (5000));
    EXPECT_EQ (result.load(), 0);
    EXPECT_EQ (ports.sent().size(), 3u);
    EXPECT_FALSE (ports.isInputOpen (0));
    EXPECT_FALSE (ports.isOutputOpen (0));
}
