#include "BorrowedPortLayer.h"
#include "FakePortLayer.h"
#include "PedalBytes.h"
#include "WorkerThread.h"
#include "midi/Midi.h"
#include "midi/SevenBitPacking.h"
#include "support/RevisionAnswer.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace midi_testing;

namespace
{

const auto revisionQuery = pedalData ({0x03});

/** The pedal's answer to the revision query for `revision`. */
juce::Array<juce::uint8> revisionReply (juce::uint32 revision)
{
    return testing_support::revisionAnswer (revision);
}

/** A transport over one "Pedal" pair whose far side runs `script`, already found. */
class Exchange : public ::testing::Test
{
protected:
    void open (FakePortLayer::Script script, midi::Timing timing = {20, 1})
    {
        ports.setScript (0, 0, std::move (script));
        transport = std::make_unique<midi::Midi> (std::make_unique<BorrowedPortLayer> (ports), timing);
        ASSERT_TRUE (transport->findDevice (pedalModel));
    }

    /** What went out after the probe. */
    std::vector<juce::Array<juce::uint8>> sentAfterProbe() const
    {
        std::vector<juce::Array<juce::uint8>> out;
        const auto all = ports.sent();
        for (size_t k = 1; k < all.size(); ++k)
            out.push_back (all[k].bytes);
        return out;
    }

    /** With `noise` alone the query gets no reply and the caller's buffer keeps what it
        held; with `noiseAndAnswer` the reply is the pedal's answer alone. */
    void expectOnlyTheAnswerTaken (const std::vector<ScriptedReply>& noise,
                                   const std::vector<ScriptedReply>& noiseAndAnswer, int replyPauses)
    {
        open (answeringPedal (noise));

        juce::Array<juce::uint8> reply{juce::uint8{0x42}};
        EXPECT_FALSE (transport->sendAndReceive (revisionQuery, reply, 5));
        EXPECT_EQ (reply, bytesOf ({0x42}));

        ports.setScript (0, 0, answeringPedal (noiseAndAnswer));
        ASSERT_TRUE (transport->sendAndReceive (revisionQuery, reply, replyPauses));
        EXPECT_EQ (reply, revisionReply (1222));
    }

    FakePortLayer ports{{"Pedal"}, {"Pedal"}};
    std::unique_ptr<midi::Midi> transport;
};

} // namespace

//==============================================================================
TEST_F (Exchange, ClosedTransportSendsNothing)
{
    transport =
        std::make_unique<midi::Midi> (std::make_unique<BorrowedPortLayer> (ports), midi::Timing{20, 1});

    juce::Array<juce::uint8> reply{juce::uint8{0x42}};
    EXPECT_FALSE (transport->sendSysEx (revisionQuery));
    EXPECT_FALSE (transport->sendAndReceive (revisionQuery, reply, 20));
    EXPECT_EQ (reply, bytesOf ({0x42}));
    EXPECT_TRUE (ports.sent().empty());

    ports.setScript (0, 0, answeringPedal ({atOnce (framed (revisionReply (1222)))}));
    ASSERT_TRUE (transport->findDevice (pedalModel));
    transport->closeDevice();

    EXPECT_FALSE (transport->sendSysEx (revisionQuery));
    EXPECT_FALSE (transport->sendAndReceive (revisionQuery, reply, 20));
    EXPECT_EQ (reply, bytesOf ({0x42}));
    EXPECT_EQ (ports.sent().size(), 1u); // the probe only
}

TEST_F (Exchange, SendSysExFramesDataAndPassesCompleteMessagesUnchanged)
{
    open (answeringPedal());

    const auto package = bytesOf ({0xf0, 0x00, 0x6c, 0x51, 0x00, 0x2e, 0x51, 0x01, 0xf7});
    EXPECT_TRUE (transport->sendSysEx (package));
    EXPECT_TRUE (transport->sendSysEx (revisionQuery));
    EXPECT_TRUE (transport->sendSysEx ({}));

    const auto sent = sentAfterProbe();
    ASSERT_EQ (sent.size(), 3u);
    EXPECT_EQ (sent[0], package);
    EXPECT_EQ (sent[1], bytesOf ({0xf0, 0x00, 0x6c, 0x51, 0x00, 0x2e, 0x03, 0xf7}));
    EXPECT_EQ (sent[2], bytesOf ({0xf0, 0xf7}));
}

TEST_F (Exchange, ReplyPresentRightAfterTheSendSucceedsWithoutAPause)
{
    open (answeringPedal ({atOnce (framed (revisionReply (1222)))}));

    // With one pause allowed the flag is looked at only right after the send.
    juce::Array<juce::uint8> reply;
    ASSERT_TRUE (transport->sendAndReceive (revisionQuery, reply, 1));
    EXPECT_EQ (reply, revisionReply (1222));
    EXPECT_EQ (midi::decodeRevision (reply), 1222);
    EXPECT_EQ (sentAfterProbe(), std::vector<juce::Array<juce::uint8>> ({framed (revisionQuery)}));

    // With no pause allowed there is no look at all: even that reply is too late.
    juce::Array<juce::uint8> untouched{juce::uint8{0x42}};
    EXPECT_FALSE (transport->sendAndReceive (revisionQuery, untouched, 0));
    EXPECT_EQ (untouched, bytesOf ({0x42}));
}

TEST_F (Exchange, ReplyFromTheInputThreadWithinThePausesSucceeds)
{
    open (answeringPedal ({later (framed (revisionReply (1187)))}), {20, 10});

    juce::Array<juce::uint8> reply;
    ASSERT_TRUE (transport->sendAndReceive (revisionQuery, reply, 500));
    EXPECT_EQ (midi::decodeRevision (reply), 1187);
}

TEST_F (Exchange, NoReplyOrOneAfterTheLastPauseFails)
{
    open (answeringPedal ({later (framed (revisionReply (1222)), 1000)}), {20, 5});

    juce::Array<juce::uint8> reply{juce::uint8{0x42}};
    EXPECT_FALSE (transport->sendAndReceive (revisionQuery, reply, 3));
    EXPECT_EQ (reply, bytesOf ({0x42}));

    ASSERT_TRUE (ports.waitUntilIdle());
    ports.setScript (0, 0, answeringPedal());
    EXPECT_FALSE (transport->sendAndReceive (revisionQuery, reply, 20));
    EXPECT_EQ (reply, bytesOf ({0x42}));
}

TEST_F (Exchange, OnlyThePedalsFirstAnswerIsTheReply)
{
    // A second answer arriving before the copy would otherwise be read as more
    // bytes of the first.
    const auto first = pedalData ({0x03, 0x00, 0x46, 0x09});
    const auto second = pedalData ({0x03, 0x7f, 0x01});
    open (answeringPedal ({atOnce (framed (first)), atOnce (framed (second))}));

    juce::Array<juce::uint8> reply{juce::uint8{0x42}};
    ASSERT_TRUE (transport->sendAndReceive (revisionQuery, reply, 20));
    EXPECT_EQ (reply, first);
}

TEST_F (Exchange, AShortAnswerIsNotLengthenedByThePedalsNextMessages)
{
    // Three bytes of revision 1222, then pedal messages that do not answer the
    // query: glued together they would read as 1222.
    const auto shortAnswer = testing_support::revisionAnswer (1222, 3);

    open (answeringPedal ({atOnce (framed (shortAnswer)), atOnce (framed (pedalData ({0x7f, 0x01, 0x02}))),
                           atOnce (framed (pedalData ({})))}));

    juce::Array<juce::uint8> reply;
    ASSERT_TRUE (transport->sendAndReceive (revisionQuery, reply, 20));
    EXPECT_EQ (reply, shortAnswer);
    EXPECT_FALSE (midi::decodeRevision (reply).has_value());
}

TEST_F (Exchange, EachExchangeStartsWithAnEmptyBuffer)
{
    open (answeringPedal ({atOnce (framed (revisionReply (1187)))}));

    juce::Array<juce::uint8> reply;
    ASSERT_TRUE (transport->sendAndReceive (revisionQuery, reply, 20));

    // A stray reply between two exchanges is not part of the next one.
    ports.deliverLater (0, framed (pedalData ({0x07, 0x01})));
    ASSERT_TRUE (ports.waitUntilIdle());

    ports.setScript (0, 0, answeringPedal ({atOnce (framed (revisionReply (1222)))}));
    ASSERT_TRUE (transport->sendAndReceive (revisionQuery, reply, 20));
    EXPECT_EQ (reply, revisionReply (1222));
}

TEST_F (Exchange, ForeignShortAndNonSysExInputAndAcknowledgementsAreNoReply)
{
    const std::vector<ScriptedReply> noise{
        atOnce (framed (bytesOf ({0x00, 0x20, 0x33, 0x00, 0x2e, 0x03, 0x00}))), // another maker
        atOnce (framed (bytesOf ({0x43, 0x10, 0x4c}))),                         // another maker, short
        atOnce (framed (pedalData ({0x03, 0x00}, 0x2f))),                       // another model
        atOnce (framed (bytesOf ({0x00, 0x6c, 0x51, 0x00}))),                   // header cut short
        atOnce (framed ({})),                                                   // F0 F7
        atOnce (bytesOf ({0xf0})),                                              // a lone F0
        atOnce (bytesOf ({0x90, 0x3c, 0x64})),                                  // a note
        atOnce (bytesOf ({0xf8})),                                              // clock
        atOnce (framed (pedalData ({0x01}))),                                   // acknowledgement
        atOnce (framed (pedalData ({0x01, 0x03, 0x00}))),                       // acknowledgement
    };

    // The same noise around a real reply leaves only the reply.
    auto noiseAndReply = noise;
    noiseAndReply.push_back (atOnce (framed (revisionReply (1222))));
    noiseAndReply.insert (noiseAndReply.end(), noise.begin(), noise.end());
    expectOnlyTheAnswerTaken (noise, noiseAndReply, 5);
}

TEST_F (Exchange, PedalMessagesThatDoNotAnswerTheRequestAreNoReply)
{
    // The bare device header, an unknown command and another reply code come
    // before the answer: none of them is taken for it.
    const std::vector<ScriptedReply> noise{atOnce (framed (pedalData ({}))),
                                           atOnce (framed (pedalData ({0x7f, 0x01, 0x02}))),
                                           atOnce (framed (pedalData ({0x05, 0x00, 0x46})))};
    auto noiseThenAnswer = noise;
    noiseThenAnswer.push_back (later (framed (revisionReply (1222))));
    expectOnlyTheAnswerTaken (noise, noiseThenAnswer, 500);
}

TEST_F (Exchange, BurstFromTheInputThreadYieldsItsFirstAnswerWhole)
{
    // Many messages from the input thread while the caller polls and copies: the
    // reply is always the first answer, complete.
    std::vector<ScriptedReply> burst;

    for (int k = 0; k < 200; ++k)
    {
        burst.push_back (later (framed (bytesOf ({0x00, 0x20, 0x33, 0x01, 0x02, 0x03}))));
        burst.push_back (later (framed (pedalData ({0x03, k & 0x7f, 0x11, 0x22}))));
    }

    open (answeringPedal (burst), {20, 1});

    juce::Array<juce::uint8> reply;
    ASSERT_TRUE (transport->sendAndReceive (revisionQuery, reply, 5000));
    EXPECT_EQ (reply, pedalData ({0x03, 0x00, 0x11, 0x22}));
    ASSERT_TRUE (ports.waitUntilIdle());
}

TEST_F (Exchange, WaitEndsPromptlyWhenItsThreadIsAskedToExit)
{
    open (answeringPedal());

    std::atomic<int> result{-1};
    WorkerThread worker (
        [&]
        {
            juce::Array<juce::uint8> reply;
            result = transport->sendAndReceive (revisionQuery, reply, 1000000) ? 1 : 0;
        });
    worker.startThread();

    ASSERT_TRUE (ports.waitForSends (2)); // probe and query
    EXPECT_TRUE (worker.stopThread (5000));
    EXPECT_EQ (result.load(), 0);
}
