#include "app/CommandLine.h"

#include <juce_events/juce_events.h>

namespace app
{

namespace
{
bool isAutoUpdateWord (const juce::String& word)
{
    return word.compareIgnoreCase ("--autoupdate") == 0;
}

bool isVerboseWord (const juce::String& word)
{
    return word == "-v" || word == "--verbose";
}

bool isVerboseAutoUpdate (const juce::String& parameters)
{
    // Two words and the one blank between them, nothing more: like "--autoupdate"
    // alone, anything further (a second blank, a trailing one) makes an interactive run.
    const int blank = parameters.indexOfChar (' ');
    if (blank < 0)
        return false;

    const auto first = parameters.substring (0, blank);
    const auto second = parameters.substring (blank + 1);
    return (isAutoUpdateWord (first) && isVerboseWord (second)) ||
           (isVerboseWord (first) && isAutoUpdateWord (second));
}

CommandLine::Request requestFor (const juce::StringArray& arguments, const juce::String& parameters)
{
    using Request = CommandLine::Request;

    if (arguments.contains ("--help") || arguments.contains ("-h"))
        return Request::help;

    if (arguments.contains ("--version") || arguments.contains ("-V"))
        return Request::version;

    if (arguments.contains ("--list") || arguments.contains ("-l"))
        return Request::list;

    return isAutoUpdateWord (parameters) || isVerboseAutoUpdate (parameters) ? Request::unattendedRun
                                                                             : Request::interactiveRun;
}
} // namespace

CommandLine CommandLine::read (const juce::StringArray& arguments, const juce::String& parameters)
{
    CommandLine commandLine;
    commandLine.request = requestFor (arguments, parameters);
    commandLine.verbose = commandLine.request == Request::unattendedRun && isVerboseAutoUpdate (parameters);
    return commandLine;
}

CommandLine CommandLine::ofThisProcess()
{
    return read (juce::JUCEApplicationBase::getCommandLineParameterArray(),
                 juce::JUCEApplicationBase::getCommandLineParameters());
}

juce::String CommandLine::helpText (const juce::String& programName, const juce::String& product,
                                    const juce::String& firmwareVersion, int revision,
                                    const juce::StringArray& bootLoaderSteps)
{
    const auto r = juce::String (revision);

    juce::String text;
    text << "Usage: " << programName << " [--autoupdate [-v]]\n"
         << "       " << programName << " --list | --help | --version\n"
         << "\n"
         << "Puts firmware " << firmwareVersion << " (revision " << r << ") on a " << product
         << " pedal connected by USB.\n"
         << "It finds the pedal on its own, sends the firmware, waits for the pedal to restart\n"
         << "and reads back the pedal's firmware revision. Without arguments it opens its\n"
         << "window: press \"update\" once it shows the pedal in its boot loader.\n"
         << "\n"
         << "  --autoupdate   update at once, without a click, and close at the end\n"
         << "  -v, --verbose  with --autoupdate: one timestamped line per step on standard error\n"
         << "  -l, --list     list the MIDI ports, the pairs the search probes and the pedals\n"
         << "                 that answer, with their revisions; sends nothing but the probe\n"
         << "                 and the revision question\n"
         << "  -h, --help     show this text\n"
         << "  -V, --version  show the updater's version and the firmware it carries\n"
         << "\n"
         << "Before starting, put the pedal into its boot loader:\n";
    for (int i = 0; i < bootLoaderSteps.size(); ++i)
        text << "  " << (i + 1) << ". " << bootLoaderSteps[i] << "\n";
    text << "\n"
         << "Exit codes:\n"
         << "  0    With --autoupdate: the pedal now reports revision " << r << ".\n"
         << "       Without: the last update that finished succeeded, or none finished.\n"
         << "  255  (-1) With --autoupdate: no pedal was found, or more than one (then\n"
         << "       nothing is sent), the pedal did not come back after the transfer, did\n"
         << "       not answer the revision question or reports another revision, another\n"
         << "       pedal answered after the restart, another copy of the updater is\n"
         << "       running, or the run was stopped before its result; one line on\n"
         << "       standard error says which and what to do next. Without: the last update\n"
         << "       that finished failed. Either way: no display to open the window on.\n"
         << "With --list: 0 one pedal answered, 1 none, 2 more than one; 255 (-1) another\n"
         << "copy of the updater is running.\n"
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
