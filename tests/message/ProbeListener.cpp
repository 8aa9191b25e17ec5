#include "ProbeListener.h"

#include "TrackedMessage.h"

namespace testing_support
{

ProbeListener::ProbeListener (int listenerId, std::vector<Delivery>& deliveryLog)
    : id (listenerId)
    , log (deliveryLog)
{
}

void ProbeListener::processMessage (message::BaseMessage& message)
{
    auto* tracked = dynamic_cast<TrackedMessage*> (&message);
    log.push_back ({id, &message, tracked != nullptr ? tracked->sequence : -1});

    if (onDelivery)
        onDelivery (message);

    if (forwardTo != nullptr)
        forwardTo->post (&message);
}

} // namespace testing_support
