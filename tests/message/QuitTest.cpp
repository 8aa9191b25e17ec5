// Once the application has asked to quit, nothing posted later is delivered.
// The quit request is permanent for the process, so this program holds one test.
#include "ProbeListener.h"
#include "TrackedMessage.h"

#include "message/MessageCodes.h"
#include "support/MessagePump.h"

#include <gtest/gtest.h>

#include <thread>

using testing_support::ProbeListener;
using testing_support::TrackedMessage;

TEST (MessageQuit, MessagesPostedAfterTheQuitRequestAreNeverDelivered)
{
    std::vector<ProbeListener::Delivery> log;
    ProbeListener first (1, log), second (2, log);
    first.forwardTo = &second;

    bool queuedBefore = false, postedAfter = false, postedAfterFromThread = false;

    first.post (new TrackedMessage (message::Code::textMessage, 0, queuedBefore));
    juce::MessageManager::getInstance()->stopDispatchLoop();

    // Deleted on the spot, undelivered, from any thread.
    second.post (new TrackedMessage (message::Code::textMessage, 1, postedAfter));
    EXPECT_TRUE (postedAfter);

    std::thread sender (
        [&] { second.post (new TrackedMessage (message::Code::updateStatus, 2, postedAfterFromThread)); });
    sender.join();
    EXPECT_TRUE (postedAfterFromThread);

    testing_support::drainMessages();
    for (int i = 0; i < 5; ++i)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (1);

    // The message queued before the quit still reaches its listener; its forward,
    // posted after the quit request, does not.
    ASSERT_EQ (log.size(), 1u);
    EXPECT_EQ (log[0].listenerId, 1);
    EXPECT_EQ (log[0].sequence, 0);
    EXPECT_TRUE (queuedBefore);
}
