#include "bench/BenchView.h"

#include "bench/Clock.h"

#include <functional>

namespace bench
{

BenchView::BenchView (controller::ControllerIF& controllerToUse, bool pressUpdateWhenEnabled)
    : controller (controllerToUse)
    , pressUpdate (pressUpdateWhenEnabled)
{
}

void BenchView::processMessage (message::BaseMessage& message)
{
    switch (message.type)
    {
        case message::Code::deviceFound:
            // An unattended run starts the transfer on the first sighting by itself.
            if (!pressUpdate && std::equal_to<double>() (startMs, 0.0))
                startMs = Clock::nowMs();
            break;

        case message::Code::updateButtonEnable:
            if (pressUpdate && !pressed)
            {
                pressed = true;
                startMs = Clock::nowMs();
                controller.post (new message::UpdateRequest());
            }
            break;

        case message::Code::progressUpdate:
            ++progressUpdates;
            break;

        case message::Code::textMessage:
            // The empty text clears the status line when the update begins; the next one is the result.
            if (auto* text = dynamic_cast<const message::TextMessage*> (&message);
                text != nullptr && text->text.isNotEmpty() && resultText.isEmpty())
            {
                resultText = text->text;
                resultMs = Clock::nowMs();

                // An unattended run closes itself; the user of an interactive one closes the window.
                if (pressUpdate)
                    controller.post (new message::CloseRequest());
            }
            break;

        default:
            break;
    }
}

} // namespace bench
