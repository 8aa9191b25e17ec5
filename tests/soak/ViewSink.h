#pragma once

#include "message/ListenerInterface.h"

namespace soak
{

/**
    Stands in for the main window: keeps what the updater panel would show (device
    line, status text, button, bar) and nothing else, so that a long soak holds no
    messages.
*/
class ViewSink : public message::ListenerInterface
{
public:
    void processMessage (message::BaseMessage& message) override;

    /** True once the search for the pedal has been reported (found or not). */
    bool isDeviceKnown() const noexcept { return deviceKnown; }
    bool isDeviceFound() const noexcept { return deviceFound; }
    bool isUpdateButtonEnabled() const noexcept { return updateButtonEnabled; }

    /** The last status text shown, without the "Status: " of the panel. */
    const juce::String& getStatusText() const noexcept { return statusText; }

    /** The last result text ("Firmware upgrade successful" or the failure text), empty before any. */
    const juce::String& getResultText() const noexcept { return resultText; }

    /** How many results have been shown so far. */
    int getNumResults() const noexcept { return results; }

    double getProgress() const noexcept { return progress; }

    /** The highest bar value since construction or the last forgetProgressPeak(). */
    double getProgressPeak() const noexcept { return progressPeak; }
    void forgetProgressPeak() noexcept { progressPeak = 0.0; }

    static const juce::String successText;
    static const juce::String failureText;

private:
    bool deviceKnown = false;
    bool deviceFound = false;
    bool updateButtonEnabled = false;
    juce::String statusText, resultText;
    int results = 0;
    double progress = 0.0, progressPeak = 0.0;
};

} // namespace soak
