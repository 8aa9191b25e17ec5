// Posting, delivery order, forwarding and lifetime of messages, through a real
// JUCE message loop.
#include "ProbeListener.h"
#include "TrackedMessage.h"

#include "controller/Controller.h"
#include "message/Messages.h"
#include "support/MessagePump.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <thread>

using testing_support::drainMessages;
using testing_support::ProbeListener;
using testing_support::TrackedMessage;

namespace
{
std::vector<int> sequencesOf (const std::vector<ProbeListener::Delivery>& log, int listenerId)
{
    std::vector<int> result;
    for (auto& d : log)
        if (d.listenerId == listenerId)
            result.push_back (d.sequence);
    return result;
}
} // namespace

//==============================================================================
TEST (MessageDelivery, ArrivesInPostingOrderAcrossListeners)
{
    std::vector<ProbeListener::Delivery> log;
    ProbeListener a (1, log), b (2, log);
    std::array<bool, 6> destroyed{};

    for (int i = 0; i < 6; ++i)
        (i % 2 == 0 ? a : b).post (new TrackedMessage (message::Code::textMessage, i, destroyed[(size_t)i]));

    drainMessages();

    ASSERT_EQ (log.size(), 6u);
    for (int i = 0; i < 6; ++i)
    {
        EXPECT_EQ (log[(size_t)i].sequence, i);
        EXPECT_EQ (log[(size_t)i].listenerId, i % 2 == 0 ? 1 : 2);
        EXPECT_TRUE (destroyed[(size_t)i]) << "message " << i << " outlived its only delivery";
    }
}

TEST (MessageDelivery, PostsFromAnotherThreadKeepTheirOrder)
{
    constexpr int count = 300;
    std::vector<ProbeListener::Delivery> log;
    ProbeListener target (1, log);
    std::unique_ptr<bool[]> destroyed (new bool[count]);

    std::thread sender (
        [&]
        {
            for (int i = 0; i < count; ++i)
                target.post (new TrackedMessage (message::Code::progressUpdate, i, destroyed[(size_t)i]));
        });
    sender.join();

    drainMessages();

    std::vector<int> expected;
    for (int i = 0; i < count; ++i)
        expected.push_back (i);
    EXPECT_EQ (sequencesOf (log, 1), expected);
}

TEST (MessageDelivery, PostToSelfGoesBehindEverythingAlreadyQueued)
{
    std::vector<ProbeListener::Delivery> log;
    ProbeListener target (1, log);
    bool d0 = false, d1 = false, d2 = false, late = false;

    target.onDelivery = [&] (message::BaseMessage& m)
    {
        if (static_cast<TrackedMessage&> (m).sequence == 0)
            target.post (new TrackedMessage (message::Code::textMessage, 99, late));
    };

    target.post (new TrackedMessage (message::Code::textMessage, 0, d0));
    target.post (new TrackedMessage (message::Code::textMessage, 1, d1));
    target.post (new TrackedMessage (message::Code::textMessage, 2, d2));
    drainMessages();

    EXPECT_EQ (sequencesOf (log, 1), (std::vector<int>{0, 1, 2, 99}));
}

//==============================================================================
TEST (MessageForwarding, SameObjectReachesEveryHopAndDiesAfterTheLast)
{
    std::vector<ProbeListener::Delivery> log;
    ProbeListener first (1, log), second (2, log), third (3, log);
    first.forwardTo = &second;
    second.forwardTo = &third;

    bool destroyed = false;
    std::vector<bool> destroyedAtDelivery;
    for (auto* p : {&first, &second, &third})
        p->onDelivery = [&] (message::BaseMessage&) { destroyedAtDelivery.push_back (destroyed); };

    auto* sent = new TrackedMessage (message::Code::progressUpdate, 7, destroyed);
    first.post (sent);
    drainMessages();

    ASSERT_EQ (log.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ (log[i].listenerId, (int)i + 1);
        EXPECT_EQ (log[i].message, sent);
    }
    EXPECT_EQ (destroyedAtDelivery, (std::vector<bool>{false, false, false}));
    EXPECT_TRUE (destroyed);
}

TEST (MessageForwarding, ControllerPassesTheSameObjectToTheView)
{
    std::vector<ProbeListener::Delivery> log;
    ProbeListener view (1, log);
    controller::Controller hub ([] {});
    hub.setView (&view);

    bool destroyed = false;
    bool destroyedWhenViewSawIt = true;
    view.onDelivery = [&] (message::BaseMessage&) { destroyedWhenViewSawIt = destroyed; };

    auto* status = new TrackedMessage (message::Code::textMessage, 1, destroyed);
    hub.post (status);
    drainMessages();

    ASSERT_EQ (log.size(), 1u);
    EXPECT_EQ (log[0].message, status);
    EXPECT_FALSE (destroyedWhenViewSawIt);
    EXPECT_TRUE (destroyed);

    // The real class: once the view has had it, the framework holds no reference.
    juce::ReferenceCountedObjectPtr<message::BaseMessage> progress (new message::ProgressUpdate (0.25));
    hub.post (progress.get());
    drainMessages();

    ASSERT_EQ (log.size(), 2u);
    EXPECT_EQ (log[1].message, progress.get());
    EXPECT_EQ (progress->getReferenceCount(), 1);
}

//==============================================================================
TEST (MessageLifetime, MessageToADestroyedListenerIsDiscardedUnheard)
{
    std::vector<ProbeListener::Delivery> log;
    bool destroyed = false;

    {
        ProbeListener doomed (1, log);
        doomed.post (new TrackedMessage (message::Code::textMessage, 0, destroyed));
    }

    drainMessages();

    EXPECT_TRUE (log.empty());
    EXPECT_TRUE (destroyed);
}

TEST (MessageLifetime, ForwardToAListenerDestroyedInTheMeantimeIsDiscarded)
{
    std::vector<ProbeListener::Delivery> log;
    ProbeListener first (1, log);
    auto second = std::make_unique<ProbeListener> (2, log);
    first.forwardTo = second.get();

    // Queued behind the first delivery, ahead of the forwarded one.
    bool destroyed = false;
    first.post (new TrackedMessage (message::Code::textMessage, 0, destroyed));
    juce::MessageManager::callAsync ([&] { second.reset(); });
    drainMessages();

    ASSERT_EQ (log.size(), 1u);
    EXPECT_EQ (log[0].listenerId, 1);
    EXPECT_TRUE (destroyed);
}

TEST (MessageLifetime, ForeignFrameworkMessagesNeverReachProcessMessage)
{
    std::vector<ProbeListener::Delivery> log;
    ProbeListener target (1, log);

    target.postMessage (new juce::Message());
    target.post (nullptr);
    drainMessages();

    EXPECT_TRUE (log.empty());
}
