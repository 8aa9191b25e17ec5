#include "view/Updater.h"

#include "message/Messages.h"

namespace view
{

namespace
{
const juce::String statusPrefix ("Status: ");
const juce::String devicePrefix ("Device: ");
const juce::String severalPedalsText (
    "More than one pedal is connected. Connect only the one to update and restart the updater");
} // namespace

//==============================================================================
Updater::Updater (controller::ControllerIF* controllerToUse)
    : ViewInterface (controllerToUse)
{
    // Every window already on the desktop (the main window among them) is re-styled
    // at once; windows opened later, such as the help window, start with this look.
    juce::LookAndFeel::setDefaultLookAndFeel (&lookAndFeel);

    updateButton = std::make_unique<juce::TextButton> ("update", "click here to update the product");
    addAndMakeVisible (*updateButton);
    updateButton->addListener (this);
    // The progress bar ends where the button begins, so the button is drawn square on that side.
    updateButton->setConnectedEdges (juce::Button::ConnectedOnLeft);

    productInfoLabel =
        std::make_unique<juce::Label> (juce::String(), "This software updater will update your Firmware");
    addAndMakeVisible (*productInfoLabel);

    progressValue = 0.0;
    progressBar = std::make_unique<StillProgressBar> (progressValue);
    addAndMakeVisible (*progressBar);
    progressBar->setColour (juce::ProgressBar::backgroundColourId, juce::Colour (0xFFFFFFFF));

    // Attached above the bar: the label joins this panel and follows the bar's position.
    progressLabel = std::make_unique<juce::Label> (juce::String(), "Update progress:");
    progressLabel->attachToComponent (progressBar.get(), false);

    helpButton = std::make_unique<juce::TextButton> ("Help", "click here to get help");
    addAndMakeVisible (*helpButton);
    helpButton->addListener (this);

    deviceLabel = std::make_unique<juce::Label>();
    addAndMakeVisible (*deviceLabel);
    deviceLabel->setText (devicePrefix, juce::dontSendNotification);

    statusLabel = std::make_unique<juce::Label>();
    addAndMakeVisible (*statusLabel);
}

// Members go in reverse order, the look first; the default look is not handed back,
// so whatever is drawn afterwards uses the framework's own default look.
Updater::~Updater() = default;

//==============================================================================
void Updater::resized()
{
    const auto width = getWidth();

    productInfoLabel->setBounds (10, 15, width - 20, 50);
    helpButton->setBounds (width - 104, 2, 94, 30);
    deviceLabel->setBounds (10, productInfoLabel->getBottom(), width - 20, 30);
    statusLabel->setBounds (10, deviceLabel->getBottom(), width - 20, 30);
    updateButton->setBounds (width - 104, statusLabel->getBottom() + 40, 94, 30);
    progressBar->setBounds (10, updateButton->getY(), width - 114, 30);
}

void Updater::buttonClicked (juce::Button* button)
{
    if (button == updateButton.get())
    {
        // A new transfer starts from an empty bar.
        progressValue = 0.0;
        progressBar->valueChanged();
        postToController (new message::UpdateRequest());
    }
    else if (button == helpButton.get())
    {
        // The help window opens when the help text comes back to the main window.
        postToController (new message::HelpRequest());
    }
}

void Updater::processMessage (message::BaseMessage& message)
{
    switch (message.type)
    {
        case message::Code::productInfoResponse:
            if (auto* info = dynamic_cast<message::ProductInfoResponse*> (&message))
                productInfoLabel->setText (info->productInfo, juce::dontSendNotification);
            break;

        case message::Code::updateButtonEnable:
            updateButton->setEnabled (true);
            break;

        case message::Code::updateButtonDisable:
            updateButton->setEnabled (false);
            break;

        case message::Code::textMessage:
            if (auto* text = dynamic_cast<message::TextMessage*> (&message))
                statusLabel->setText (statusPrefix + text->text, juce::dontSendNotification);
            break;

        case message::Code::progressUpdate:
            if (auto* progress = dynamic_cast<message::ProgressUpdate*> (&message))
            {
                progressValue = progress->progress;
                progressBar->valueChanged();
            }
            break;

        case message::Code::deviceNotFound:
        {
            const auto* notFound = dynamic_cast<message::DeviceNotFound*> (&message);
            const auto answered = notFound != nullptr ? notFound->pedalsAnswered : 0;

            if (answered > 1)
            {
                // Which of them to update is for the user to say, by unplugging the others.
                deviceLabel->setText (devicePrefix + juce::String (answered) + " pedals found",
                                      juce::dontSendNotification);
                statusLabel->setText (statusPrefix + severalPedalsText, juce::dontSendNotification);
            }
            else
            {
                deviceLabel->setText (devicePrefix + "Not found", juce::dontSendNotification);
            }
            break;
        }

        case message::Code::deviceFound:
            if (auto* found = dynamic_cast<message::DeviceFound*> (&message))
            {
                deviceLabel->setText (devicePrefix + found->deviceName, juce::dontSendNotification);

                // Only the status line reacts here; whether the update may start is the
                // controller's decision, sent as UpdateButtonEnable or UpdateButtonDisable.
                if (!found->deviceName.containsIgnoreCase ("boot"))
                    statusLabel->setText (statusPrefix + "Device is not in boot mode",
                                          juce::dontSendNotification);
            }
            break;

        default:
            break;
    }
}

//==============================================================================
void Updater::postToController (message::BaseMessage* message)
{
    message::ListenerInterface::postTo (controller, message);
}

} // namespace view
