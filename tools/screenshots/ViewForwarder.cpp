#include "ViewForwarder.h"

#include "message/MessageCodes.h"

#include <juce_events/juce_events.h>

namespace screenshots
{

void ViewForwarder::processMessage (message::BaseMessage& message)
{
    switch (message.type)
    {
        case message::Code::productInfoResponse:
        case message::Code::helpResponse:
            if (view != nullptr)
                view->post (&message);
            break;

        case message::Code::closeRequest:
            juce::JUCEApplicationBase::quit();
            break;

        default:
            break;
    }
}

} // namespace screenshots
