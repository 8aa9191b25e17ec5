#include "message/ListenerInterface.h"

namespace message
{

ListenerInterface::~ListenerInterface() = default;

void ListenerInterface::handleMessage (const juce::Message& message)
{
    // Only BaseMessages are ever posted to a component; anything else is ignored.
    // The handler may forward the very object it receives, hence the const_cast:
    // posting re-targets the message and takes a reference of its own.
    if (auto* base = dynamic_cast<const BaseMessage*> (&message))
        processMessage (const_cast<BaseMessage&> (*base));
}

void ListenerInterface::post (BaseMessage* message)
{
    if (message != nullptr)
        postMessage (message);
}

void ListenerInterface::postTo (ListenerInterface* target, BaseMessage* message)
{
    if (target != nullptr)
        target->post (message);
    else
        delete message;
}

} // namespace message
