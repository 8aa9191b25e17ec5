#pragma once

#include <juce_core/juce_core.h>

namespace app
{

/**
    What the updater's command line asks for, and the texts that answer --help and
    --version.

    "--help" or "-h", and "--version" or "-V", given as a whole argument, are answered
    on standard output without a window, a display or a MIDI port; "--list" or "-l"
    lists the MIDI ports and what answered the search, without a window or a display.
    Otherwise only the parameter string "--autoupdate" (any letter case), alone or
    with "-v" or "--verbose" before or after it (one blank between), makes an
    unattended run; any other arguments make an interactive one.
*/
struct CommandLine
{
    enum class Request
    {
        interactiveRun,
        unattendedRun,
        help,
        version,
        list
    };

    /** `arguments`: the arguments after the program's own name; `parameters`: the same
        as the one string the framework passes to initialise(). */
    static Request requestFor (const juce::StringArray& arguments, const juce::String& parameters);

    /** What this process's command line asks for. */
    static Request requestOfThisProcess();

    /** True when `parameters` ask for an unattended run. */
    static bool isAutoUpdate (const juce::String& parameters);

    /** True when `parameters` ask for an unattended run that describes each step on
        standard error. */
    static bool isVerboseAutoUpdate (const juce::String& parameters);

    /** The answer to --help: usage, options, exit codes and the boot-loader steps. */
    static juce::String helpText (const juce::String& programName, const juce::String& product,
                                  const juce::String& firmwareVersion, int revision);

    /** The answer to --version: the updater's version and the firmware it carries. */
    static juce::String versionText (const juce::String& programName, const juce::String& updaterVersion,
                                     const juce::String& product, const juce::String& firmwareVersion,
                                     int revision);
};

} // namespace app
