#include "ViewSink.h"

#include "message/Messages.h"

namespace soak
{

const juce::String ViewSink::successText ("Firmware upgrade successful");
const juce::String ViewSink::failureText ("Firmware upgrade failed. Please try again");

void ViewSink::processMessage (message::BaseMessage& message)
{
    switch (message.type)
    {
        case message::Code::deviceFound:
            deviceKnown = deviceFound = true;
            break;

        case message::Code::deviceNotFound:
            deviceKnown = true;
            break;

        case message::Code::updateButtonEnable:
            updateButtonEnabled = true;
            break;

        case message::Code::updateButtonDisable:
            updateButtonEnabled = false;
            break;

        case message::Code::textMessage:
            if (auto* text = dynamic_cast<const message::TextMessage*> (&message))
            {
                statusText = text->text;
                if (statusText == successText || statusText == failureText)
                {
                    resultText = statusText;
                    ++results;
                }
            }
            break;

        case message::Code::progressUpdate:
            if (auto* update = dynamic_cast<const message::ProgressUpdate*> (&message))
            {
                progress = update->progress;
                progressPeak = juce::jmax (progressPeak, progress);
            }
            break;

        default:
            break;
    }
}

} // namespace soak
