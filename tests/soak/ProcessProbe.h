#pragma once

#include <juce_core/juce_core.h>

namespace soak
{

/**
    What the soak reads about its own process from /proc: resident memory and the
    threads that are alive, by name.
*/
class ProcessProbe
{
public:
    /** Resident set size in kilobytes (VmRSS of /proc/self/status); -1 if unreadable. */
    static juce::int64 residentKilobytes();

    /** Names of the process's threads (the comm of each /proc/self/task entry). */
    static juce::StringArray threadNames();

    /** How many of the process's threads carry exactly this name. */
    static int countThreadsNamed (const juce::String& name);
};

} // namespace soak
