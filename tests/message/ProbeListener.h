#pragma once

#include "message/ListenerInterface.h"

#include <functional>
#include <vector>

namespace testing_support
{

/**
    A listener that writes every delivery into a log owned by the test (so the log
    survives the listener) without keeping the message alive, and can pass each
    message on, as the same object, to another listener.
*/
class ProbeListener : public message::ListenerInterface
{
public:
    struct Delivery
    {
        int listenerId;
        const message::BaseMessage* message;
        int sequence; // a TrackedMessage's number, -1 for other messages
    };

    ProbeListener (int id, std::vector<Delivery>& log);

    void processMessage (message::BaseMessage& message) override;

    /** Where each delivered message is forwarded next; null to keep it. */
    message::ListenerInterface* forwardTo = nullptr;

    /** Runs after the delivery was logged and before any forwarding. */
    std::function<void (message::BaseMessage&)> onDelivery;

private:
    const int id;
    std::vector<Delivery>& log;
};

} // namespace testing_support
