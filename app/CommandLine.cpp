#include "app/CommandLine.h"

#include <juce_events/juce_events.h>

namespace app
{

CommandLine::Request CommandLine::requestFor (const juce::StringArray& arguments,
                                              const juce::String& parameters)
{
    if (arguments.contains ("--help") || arguments.contains ("-h"))
        return Request::help;

    if (arguments.contains ("--version") || arguments.contains ("-V"))
        return Request::version;

    return isAutoUpdate (parameters) ? Request::unattendedRun : Request::interactiveRun;
}

CommandLine::Request CommandLine::requestOfThisProcess()
{
    return requestFor (juce::JUCEApplicationBase::getCommandLineParameterArray(),
                       juce::JUCEApplicationBase::getCommandLineParameters());
}

bool CommandLine::isAutoUpdate (const juce::String& parameters)
{
    return parameters.compareIgnoreCase ("--autoupdate") == 0;
}

juce::String CommandLine::helpText (const juce::String& programName, const juce::String& product,
                                    const juce::String& firmwareVersion, int revision)
{
    const auto r = juce::String (revision);

    juce::String text;
    text << "Usage: " << programName << " [--autoupdate]\n"
         << "       " << programName << " --help | --version\n"
         << "\n"
         << "Puts firmware " << firmwareVersion << " (revision " << r << ") on a " << product
         << " pedal connected by USB.\n"
         << "It finds the pedal on its own, sends the firmware, waits for the pedal to restart\n"
         << "and reads back the pedal's firmware revision. Without arguments it opens its\n"
         << "window: press \"update\" once it shows the pedal in its boot loader.\n"
         << "\n"
         << "  --autoupdate   update at once, without a click, and close at the end\n"
         << "  -h, --help     show this text\n"
         << "  -V, --version  show the updater's version and the firmware it carries\n"
         << "\n"
         << "Before starting, put the pedal into its boot loader: unplug all its cables and\n"
         << "remove the battery, connect it by USB, hold the footswitch while plugging in the\n"
         << "9V power supply, check that the LED lights green, release the footswitch.\n"
         << "\n"
         << "Exit codes:\n"
         << "  0    With --autoupdate: the pedal now reports revision " << r << ".\n"
         << "       Without: the last update that finished succeeded, or none finished.\n"
         << "  255  (-1) With --autoupdate: no pedal was found, the pedal did not come back\n"
         << "       after the transfer, did not answer the revision question or reports\n"
         << "       another revision, another copy of the updater is running, or the run\n"
         << "       was stopped before its result; one line on standard error says which\n"
         << "       and what to do next. Without: the last update that finished failed.\n"
         << "       Either way: no display to open the window on.\n"
         << "Do not unplug the pedal while the progress bar moves.\n";
    return text;
}

juce::String CommandLine::versionText (const juce::String& programName, const juce::String& updaterVersion,
                                       const juce::String& product, const juce::String& firmwareVersion,
                                       int revision)
{
    return programName + " " + updaterVersion + "\n" + "firmware: " + product + " " + firmwareVersion +
           " (revision " + juce::String (revision) + ")\n";
}

} // namespace app
