// The updater's window as a user meets it, with the system's own MIDI ports (the shipped
// port layer): the application starts without --autoupdate, searches, and once the device
// line has settled this writes what the window shows (device and status lines, whether
// "update" is enabled) to WINDOW_REPORT as key=value lines and a picture of the window to
// WINDOW_SNAPSHOT, then closes the window. What the lines must read is judged by whoever
// set up the ports (the USB scenarios in the test VM).
#include "AppHarness.h"

#include "midi/JucePorts.h"

#include <gtest/gtest.h>

using namespace app_testing;

namespace
{
juce::File fileFromEnvironment (const char* name)
{
    const auto path = juce::SystemStats::getEnvironmentVariable (name, {});
    return path.isEmpty() ? juce::File() : juce::File::getCurrentWorkingDirectory().getChildFile (path);
}

void saveSnapshot (Application& app, const juce::File& file)
{
    auto* window = app.getMainWindow();
    if (window == nullptr || file == juce::File())
        return;

    const auto image = window->createComponentSnapshot (window->getLocalBounds());
    file.deleteFile();
    juce::FileOutputStream stream (file);
    if (stream.openedOk())
        juce::PNGImageFormat().writeImageToStream (image, stream);
}
} // namespace

TEST (UpdaterWindow, ShowsWhatTheSearchFound)
{
    const auto reportFile = fileFromEnvironment ("WINDOW_REPORT");
    const auto snapshotFile = fileFromEnvironment ("WINDOW_SNAPSHOT");
    ASSERT_NE (reportFile, juce::File()) << "WINDOW_REPORT names no file";

    // The controller enables or disables the button right after the device line changes;
    // a second's grace lets that arrive even on a slow emulated machine.
    juce::uint32 settledAt = 0;
    std::vector<Step> steps;
    steps.push_back (
        {"the search has ended", [] (Application& app) { return panel (app).getDeviceText() != "Device: "; },
         [&settledAt] (Application&) { settledAt = juce::Time::getMillisecondCounter(); }, 120000});
    steps.push_back ({"a second later",
                      [&settledAt] (Application&)
                      { return juce::Time::getMillisecondCounter() - settledAt > 1000; },
                      [snapshotFile] (Application& app)
                      {
                          saveSnapshot (app, snapshotFile);
                          closeWindow (app);
                      }});

    const auto outcome = runApplication (
        {}, [] { return std::make_unique<midi::JucePorts>(); }, std::move (steps));

    juce::StringArray lines{"device=" + outcome.deviceText, "status=" + outcome.statusText,
                            "update-enabled=" + juce::String (outcome.updateButtonEnabled ? "yes" : "no"),
                            "exit=" + juce::String (outcome.exitCode)};
    for (const auto& failure : outcome.failures)
        lines.add ("failure=" + failure);
    EXPECT_TRUE (reportFile.replaceWithText (lines.joinIntoString ("\n") + "\n"));

    EXPECT_TRUE (outcome.failures.isEmpty()) << outcome.failures.joinIntoString ("\n");
    EXPECT_TRUE (outcome.reachedShutdown);
}
