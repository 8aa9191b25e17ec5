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

    A process reads its command line once, as its application object is made.
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

    Request request = Request::interactiveRun;

    /** An unattended run that describes each step on standard error. */
    bool verbose = false;

    /** `arguments`: the arguments after the program's own name; `parameters`: the same
        as one string, as the framework passes them to initialise(). */
    static CommandLine read (const juce::StringArray& arguments, const juce::String& parameters);

    /** What this process's command line asks for. */
    static CommandLine ofThisProcess();

    /** True for --help and --version, which open no window and no port. */
    bool onlyAsksAQuestion() const noexcept
    {
        return request == Request::help || request == Request::version;
    }

    /** The answer to --help: usage, options, exit codes and `bootLoaderSteps`, the steps
        that put the pedal into its boot loader (model::Model::bootLoaderSteps()). */
    static juce::String helpText (const juce::String& programName, const juce::String& product,
                                  const juce::String& firmwareVersion, int revision,
                                  const juce::StringArray& bootLoaderSteps);

    /** The answer to --version: the updater's version and the firmware it carries. */
    static juce::String versionText (const juce::String& programName, const juce::String& updaterVersion,
                                     const juce::String& product, const juce::String& firmwareVersion,
                                     int revision);
};

} // namespace app
