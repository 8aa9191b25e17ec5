#pragma once

#include "message/BaseMessage.h"

namespace message
{

/**
    What every message-handling component offers: post() queues a message for it
    from any thread, and the framework later delivers it on the message thread
    to processMessage().
*/
class ListenerInterface : public juce::MessageListener
{
public:
    ~ListenerInterface() override;

    /** The framework's entry point; passes the message on to processMessage(). */
    void handleMessage (const juce::Message& message) override;

    /** Queues a message allocated with new for this component; the caller gives it up. */
    virtual void post (BaseMessage* message);

    /** Posts a message allocated with new to `target`, or deletes it when there is no
        target (a component built without its peer, as in tests). */
    static void postTo (ListenerInterface* target, BaseMessage* message);

    /** The component's switch on the message's type. */
    virtual void processMessage (BaseMessage& message) = 0;
};

} // namespace message
