// The updater's window as a user meets it, with the system's own MIDI ports (the shipped
// port layer): the application starts without --autoupdate, searches, and once the device
// line has settled this notes what the window shows (device and status lines, whether
// "update" is enabled). With WINDOW_PRESSES=N it then presses "update" N times, each time
// once the button is enabled, and notes what the window shows once the update has ended
// (keys press<i>-device, press<i>-status, press<i>-update-enabled). At the end it writes
// the notes to WINDOW_REPORT as key=value lines and a picture of the window to
// WINDOW_SNAPSHOT, then closes the window. What the lines must read is judged by whoever
// set up the ports, and whatever happens to them meanwhile (the USB scenarios in the test VM).
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

/** What the window shows, as key=value lines whose keys start with `prefix`. */
void noteWindow (Application& app, const juce::String& prefix, juce::StringArray& lines)
{
    const auto& p = panel (app);
    lines.add (prefix + "device=" + p.getDeviceText());
    lines.add (prefix + "status=" + p.getStatusText());
    lines.add (prefix + "update-enabled=" + juce::String (p.getUpdateButton().isEnabled() ? "yes" : "no"));
}

// Empty before the first result; the prefix alone once a press has cleared it.
bool statusEmpty (Application& app)
{
    const auto text = panel (app).getStatusText();
    return text.isEmpty() || text.trimEnd() == "Status:";
}
} // namespace

TEST (UpdaterWindow, ShowsWhatTheSearchFound)
{
    const auto reportFile = fileFromEnvironment ("WINDOW_REPORT");
    const auto snapshotFile = fileFromEnvironment ("WINDOW_SNAPSHOT");
    const auto presses = juce::SystemStats::getEnvironmentVariable ("WINDOW_PRESSES", "0").getIntValue();
    ASSERT_NE (reportFile, juce::File()) << "WINDOW_REPORT names no file";

    // The controller enables or disables the button right after the device line changes;
    // a second's grace lets that arrive even on a slow emulated machine.
    juce::StringArray lines;
    juce::uint32 settledAt = 0;
    std::vector<Step> steps;
    steps.push_back (
        {"the search has ended", [] (Application& app) { return panel (app).getDeviceText() != "Device: "; },
         [&settledAt] (Application&) { settledAt = juce::Time::getMillisecondCounter(); }, 120000});
    steps.push_back ({"a second later",
                      [&settledAt] (Application&)
                      { return juce::Time::getMillisecondCounter() - settledAt > 1000; },
                      [&lines] (Application& app) { noteWindow (app, {}, lines); }});

    // An update takes about a minute at the shipped pauses, up to two with the pedal's
    // restart and the searches after it; the emulated machine is slow.
    for (int press = 1; press <= presses; ++press)
    {
        const auto which = "press " + juce::String (press);
        steps.push_back ({which + ": update enabled",
                          [] (Application& app) { return panel (app).getUpdateButton().isEnabled(); },
                          [] (Application& app) { clickUpdate (app); }});
        steps.push_back ({which + ": status cleared and update disabled",
                          [] (Application& app)
                          { return statusEmpty (app) && !panel (app).getUpdateButton().isEnabled(); },
                          {}});
        // The button comes back just before the result's line (the controller posts them in
        // that order), so both are noted as they are once the line shows.
        steps.push_back ({which + ": a result shown", [] (Application& app) { return !statusEmpty (app); },
                          [&lines, press] (Application& app)
                          { noteWindow (app, "press" + juce::String (press) + "-", lines); },
                          240000});
    }
    steps.push_back ({"close", [] (Application&) { return true; },
                      [snapshotFile] (Application& app)
                      {
                          saveSnapshot (app, snapshotFile);
                          closeWindow (app);
                      }});

    const auto outcome = runApplication (
        {}, [] { return std::make_unique<midi::JucePorts>(); }, std::move (steps));

    lines.add ("exit=" + juce::String (outcome.exitCode));
    for (const auto& failure : outcome.failures)
        lines.add ("failure=" + failure);
    EXPECT_TRUE (reportFile.replaceWithText (lines.joinIntoString ("\n") + "\n"));

    EXPECT_TRUE (outcome.failures.isEmpty()) << outcome.failures.joinIntoString ("\n");
    EXPECT_TRUE (outcome.reachedShutdown);
}
