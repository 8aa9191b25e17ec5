#include "ProcessProbe.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace soak
{

// The files of /proc report a size of 0, so they are read as streams to their end
// rather than through juce::File, which trusts the size.

juce::int64 ProcessProbe::residentKilobytes()
{
    std::ifstream status ("/proc/self/status");
    std::string line;

    while (std::getline (status, line))
        if (line.rfind ("VmRSS:", 0) == 0)
            return juce::String (line.substr (6)).trim().getLargeIntValue();

    return -1;
}

juce::StringArray ProcessProbe::threadNames()
{
    juce::StringArray names;
    std::error_code error;

    for (const auto& task : std::filesystem::directory_iterator ("/proc/self/task", error))
    {
        std::ifstream comm (task.path() / "comm");
        std::string name;

        // A thread that ended while the folder was read has no comm any more.
        if (std::getline (comm, name))
            names.add (juce::String (name).trim());
    }

    return names;
}

int ProcessProbe::countThreadsNamed (const juce::String& name)
{
    int count = 0;

    for (auto& thread : threadNames())
        if (thread == name)
            ++count;

    return count;
}

} // namespace soak
