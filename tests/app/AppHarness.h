#pragma once

#include "app/Application.h"

#include <functional>
#include <vector>

namespace app_testing
{

/** One step of a scripted user: once `ready` holds, `act` runs (both on the message
    thread); the step fails when `ready` has not held within `timeoutMs`. */
struct Step
{
    juce::String description;
    std::function<bool (Application&)> ready;
    std::function<void (Application&)> act;
    int timeoutMs = 10000;
};

/** What the run left behind, read in shutdown() while every component still exists. */
struct Outcome
{
    int exitCode = 0;           ///< what the framework's runner returned
    int controllerExitCode = 0; ///< the controller's exit code at shutdown
    bool reachedShutdown = false;
    juce::String productText, deviceText, statusText;
    double progress = 0.0;
    bool updateButtonEnabled = false;
    juce::StringArray failures;       ///< steps that did not become ready in time
    std::vector<double> progressSeen; ///< distinct bar values seen while the steps ran
    juce::StringArray errorLines;     ///< what the run wrote to standard error, line by line
    juce::String outputText;          ///< what the run wrote to standard output
};

/** The pauses the application runs with: the real ones unless a test passes
    app::Pauses::fast(). */
using Pauses = app::Pauses;

/**
    Runs the real application through the framework's own runner (single-instance
    guard, initialise with its message loop, shutdown, exit code) with the MIDI
    ports from `ports`, while a timer on the message thread plays `steps` like a
    user would. After the last step the script does nothing more: the run ends the
    way the application ends it (an unattended run closes itself; an interactive
    script's last step closes the window).

    Call once per process: the framework's quit is final.
*/
Outcome runApplication (const juce::String& commandLine, Application::PortLayerFactory ports,
                        std::vector<Step> steps, Pauses pauses = {});

/** The lines of `errorLines` that the updater itself wrote ("<program>: ..."), without
    the program's name; what the ports' libraries print, and the timestamped step
    lines of a run that describes its steps, are left out. */
juce::StringArray updaterErrorLines (const Outcome& outcome);

/** Steps' helpers. */
const view::Updater& panel (Application& app);
void clickUpdate (Application& app);
void closeWindow (Application& app);

} // namespace app_testing
