#pragma once

#include "view/StillProgressBar.h"
#include "view/ViewInterface.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

namespace view
{

//==============================================================================
/**
    The panel that fills the main window: product line, device line, status line,
    progress bar with its caption, and the "update" and "Help" buttons.

    It turns the two button presses into UpdateRequest and HelpRequest for the
    controller, and the view messages that the main window passes on into changes
    of its labels, its update button and its progress bar. Its look becomes the
    default look of every window of the application.
*/
class Updater : public juce::Component, public juce::Button::Listener, public ViewInterface
{
public:
    /** Builds the children and installs the application's look; the panel stays at
        size zero until its window sizes it. */
    explicit Updater (controller::ControllerIF* controllerToUse);
    ~Updater() override;

    //==============================================================================
    /** Lays the children out for the panel's current width. */
    void resized() override;

    /** Update button: resets the bar, then asks the controller for an update.
        Help button: asks the controller for the help text. */
    void buttonClicked (juce::Button* button) override;

    /** Applies a view message passed on by the main window; unknown codes are ignored. */
    void processMessage (message::BaseMessage& message) override;

    //==============================================================================
    /** Read-only access for the main window's tests and the screenshot tool. */
    const juce::TextButton& getUpdateButton() const noexcept { return *updateButton; }
    const juce::TextButton& getHelpButton() const noexcept { return *helpButton; }
    const juce::ProgressBar& getProgressBar() const noexcept { return *progressBar; }
    const juce::Label& getProgressLabel() const noexcept { return *progressLabel; }
    const juce::Label& getProductInfoLabel() const noexcept { return *productInfoLabel; }
    const juce::Label& getDeviceLabel() const noexcept { return *deviceLabel; }
    const juce::Label& getStatusLabel() const noexcept { return *statusLabel; }
    const juce::LookAndFeel_V3& getOwnLookAndFeel() const noexcept { return lookAndFeel; }

    juce::String getProductInfoText() const { return productInfoLabel->getText(); }
    juce::String getDeviceText() const { return deviceLabel->getText(); }
    juce::String getStatusText() const { return statusLabel->getText(); }

    /** The fraction of the update that the progress bar follows. */
    double getProgressValue() const noexcept { return progressValue; }

private:
    //==============================================================================
    /** Posts to the controller, if there is one; the message is dropped otherwise. */
    void postToController (message::BaseMessage* message);

    double progressValue = 0.0;
    std::unique_ptr<juce::TextButton> updateButton;
    std::unique_ptr<StillProgressBar> progressBar;
    std::unique_ptr<juce::Label> progressLabel;
    std::unique_ptr<juce::TextButton> helpButton;
    std::unique_ptr<juce::Label> productInfoLabel;
    std::unique_ptr<juce::Label> statusLabel;
    std::unique_ptr<juce::Label> deviceLabel;
    juce::LookAndFeel_V3 lookAndFeel;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Updater)
};

} // namespace view
