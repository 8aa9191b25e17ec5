#pragma once

#include "controller/ControllerIF.h"
#include "message/Messages.h"

namespace bench
{

/**
    Stands in for the main window during a measured transfer: it takes the view's
    messages from the controller, presses "update" the first time the button is
    enabled (an interactive run), and closes the window once the result is shown.
    It draws nothing, so a transfer's figures hold the updater's own work only.
*/
class BenchView final : public message::ListenerInterface
{
public:
    BenchView (controller::ControllerIF& controllerToUse, bool pressUpdateWhenEnabled);

    void processMessage (message::BaseMessage& message) override;

    /** The result text, empty until the result was shown. */
    juce::String getResultText() const { return resultText; }

    /** When the result was shown (Clock::nowMs), 0 before. */
    double getResultMs() const noexcept { return resultMs; }

    /** When "update" was pressed, or the pedal found in an unattended run. */
    double getStartMs() const noexcept { return startMs; }

    int getProgressUpdates() const noexcept { return progressUpdates; }

private:
    controller::ControllerIF& controller;
    const bool pressUpdate;
    bool pressed = false;
    juce::String resultText;
    double resultMs = 0.0;
    double startMs = 0.0;
    int progressUpdates = 0;

    JUCE_DECLARE_NON_COPYABLE (BenchView)
};

} // namespace bench
