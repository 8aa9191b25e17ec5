#include "view/MainUI.h"

#include "message/Messages.h"

namespace view
{

MainUI::MainUI (controller::ControllerIF* controllerToUse)
    : ViewInterface (controllerToUse)
    , juce::DocumentWindow ("Firmware Updater", juce::Colour (0xFFEFF2F3), juce::DocumentWindow::closeButton,
                            true)
{
    // The panel makes its look the application's default, which re-styles this window too.
    updater = std::make_unique<Updater> (controllerToUse);

    setResizable (true, false);

    // `updater` owns the panel; the window is given it without ownership, so on the way
    // out it only takes the panel off (ResizableWindow::clearContentComponent). The
    // members go before the window's bases: by then the window's pointer to its content
    // (a Component::SafePointer) is null already.
    setContentNonOwned (updater.get(), false);

    setVisible (true);
    centreWithSize (650, 270);

    // Equal limits: the border resizer is there, but dragging it cannot change the size.
    setResizeLimits (650, 270, 650, 270);
}

// Members go in reverse order: the help window first, then the panel.
MainUI::~MainUI() = default;

//==============================================================================
void MainUI::processMessage (message::BaseMessage& message)
{
    if (message.type == message::Code::helpResponse)
    {
        if (auto* help = dynamic_cast<message::HelpResponse*> (&message))
        {
            // The new window is on screen before the old one is deleted.
            auto newWindow = std::make_unique<HelpWindow> (help->helpText);
            helpWindow = std::move (newWindow);
        }
        return;
    }

    // Re-posting takes a reference of its own, so the object lives on past this delivery.
    updater->post (&message);
}

void MainUI::closeButtonPressed()
{
    if (controller != nullptr)
        controller->post (new message::CloseRequest());
}

} // namespace view
