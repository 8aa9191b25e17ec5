#include "AppHarness.h"

#include "app/Console.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>

namespace app_testing
{

namespace
{

/** Plays the steps from a timer and keeps an eye on the progress bar. */
class Driver : private juce::Timer
{
public:
    Driver (std::vector<Step> stepsToPlay, Outcome& outcomeToFill)
        : steps (std::move (stepsToPlay))
        , outcome (outcomeToFill)
    {
    }

    void begin (Application& appToDrive)
    {
        app = &appToDrive;
        stepStarted = juce::Time::getMillisecondCounter();
        startTimer (10);
    }

    void end() { stopTimer(); }

private:
    void timerCallback() override
    {
        if (auto* window = app->getMainWindow())
        {
            const auto value = window->getUpdater().getProgressValue();
            if (outcome.progressSeen.empty() || !std::equal_to<double>() (outcome.progressSeen.back(), value))
                outcome.progressSeen.push_back (value);
        }

        if (next >= steps.size() || app->getMainWindow() == nullptr)
            return;

        auto& step = steps[next];
        if (step.ready (*app))
        {
            if (step.act)
                step.act (*app);
            ++next;
            stepStarted = juce::Time::getMillisecondCounter();
        }
        else if (juce::Time::getMillisecondCounter() - stepStarted >
                 static_cast<juce::uint32> (step.timeoutMs))
        {
            outcome.failures.add ("timed out waiting for: " + step.description + " (status \"" +
                                  panel (*app).getStatusText() + "\", device \"" +
                                  panel (*app).getDeviceText() + "\")");
            next = steps.size();
            closeWindow (*app);
        }
    }

    std::vector<Step> steps;
    Outcome& outcome;
    Application* app = nullptr;
    size_t next = 0;
    juce::uint32 stepStarted = 0;
};

/** The application under test, with the driver hooked into its start and end. */
class DrivenApplication : public Application
{
public:
    DrivenApplication (PortLayerFactory ports, const Pauses& pauses, Driver& driverToUse,
                       Outcome& outcomeToFill)
        : Application (app::ExecutableBuild{std::move (ports), pauses, {}})
        , driver (driverToUse)
        , outcome (outcomeToFill)
    {
    }

    void initialise (const juce::String& commandLine) override
    {
        // The timer is registered now and first fires inside the application's loop.
        juce::MessageManager::callAsync ([this] { driver.begin (*this); });
        Application::initialise (commandLine);
    }

    void shutdown() override
    {
        driver.end();
        outcome.reachedShutdown = true;

        if (auto* window = getMainWindow())
        {
            const auto& updater = window->getUpdater();
            outcome.productText = updater.getProductInfoText();
            outcome.deviceText = updater.getDeviceText();
            outcome.statusText = updater.getStatusText();
            outcome.progress = updater.getProgressValue();
            outcome.updateButtonEnabled = updater.getUpdateButton().isEnabled();
        }
        if (auto* hub = getController())
            outcome.controllerExitCode = hub->getExitCode();

        Application::shutdown();
    }

private:
    Driver& driver;
    Outcome& outcome;
};

struct RunContext
{
    Application::PortLayerFactory ports;
    Pauses pauses;
    Driver* driver = nullptr;
    Outcome* outcome = nullptr;
};

RunContext context;

juce::JUCEApplicationBase* createDrivenApplication()
{
    return new DrivenApplication (context.ports, context.pauses, *context.driver, *context.outcome);
}

} // namespace

Outcome runApplication (const juce::String& commandLine, Application::PortLayerFactory ports,
                        std::vector<Step> steps, Pauses pauses)
{
    Outcome outcome;
    Driver driver (std::move (steps), outcome);
    context = {std::move (ports), pauses, &driver, &outcome};

    juce::StringArray args;
    args.add ("firmware-updater-under-test");
    args.addTokens (commandLine, " ", {});
    args.removeEmptyStrings();

    std::vector<const char*> argv;
    for (auto& a : args)
        argv.push_back (a.toRawUTF8());

    juce::JUCEApplicationBase::createInstance = &createDrivenApplication;

    // The updater reports an unattended failure on standard error, so the whole run
    // writes there through a file instead of the terminal.
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    outcome.exitCode = juce::JUCEApplicationBase::main (static_cast<int> (argv.size()), argv.data());
    outcome.errorLines.addLines (::testing::internal::GetCapturedStderr());
    outcome.outputText = ::testing::internal::GetCapturedStdout();
    outcome.errorLines.removeEmptyStrings();

    // Shown with the test's own output, as it would have been without the capture.
    for (const auto& line : outcome.errorLines)
        std::cerr << line << std::endl;

    return outcome;
}

juce::StringArray updaterErrorLines (const Outcome& outcome)
{
    const auto prefix = app::Console::programName() + ": ";
    juce::StringArray lines;

    // Lines of a run that describes its steps begin with the time of day.
    const auto isStep = [] (const juce::String& text)
    { return text.length() > 12 && text[2] == ':' && text[5] == ':' && text[8] == '.' && text[12] == ' '; };

    for (const auto& line : outcome.errorLines)
        if (line.startsWith (prefix) && !isStep (line.substring (prefix.length())))
            lines.add (line.substring (prefix.length()));

    return lines;
}

const view::Updater& panel (Application& app)
{
    return app.getMainWindow()->getUpdater();
}

void clickUpdate (Application& app)
{
    // The real button, clicked the way the button's own keyboard shortcut or a
    // mouse click ends: through Button's click handling, which calls the panel.
    const_cast<juce::TextButton&> (panel (app).getUpdateButton()).triggerClick();
}

void closeWindow (Application& app)
{
    if (auto* window = app.getMainWindow())
        window->closeButtonPressed();
}

} // namespace app_testing
