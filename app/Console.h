#pragma once

#include <juce_core/juce_core.h>

namespace app
{

/**
    The updater's only writes to standard output and standard error: the answers to
    --help and --version, and the one line that tells a script why a run failed.

    A GUI program has no console of its own on every system (on Windows the framework
    attaches to the caller's console only in some builds), so whatever that takes is
    done here and nowhere else.
*/
struct Console
{
    /** Writes `text` to standard output as it stands. */
    static void out (const juce::String& text);

    /** Writes `line`, prefixed with the program's name and ": ", and a line break to
        standard error. */
    static void error (const juce::String& line);

    /** Writes one line of a run that describes its steps to standard error: the
        program's name, the time of day to the millisecond and `line`. Safe from any
        thread; lines are never mixed. */
    static void step (const juce::String& line);

    /** The executable's name without folder and extension, e.g. "firmware-updater". */
    static juce::String programName();
};

} // namespace app
