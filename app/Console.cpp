#include "app/Console.h"

#include <iostream>
#include <mutex>

#if JUCE_WINDOWS
#include <cstdio>
#include <windows.h>
#endif

namespace app
{

namespace
{
/** Windows: a window program has no console of its own, so whatever it writes is lost
    unless it joins the console it was started from (cmd.exe, PowerShell), where its
    streams are not redirected already. JUCE does this for programs built with MSVC
    only; the MinGW build does it here, the same way, once, before the first write.
    Elsewhere the streams are the terminal's from the start. */
void reachCallersConsole()
{
#if JUCE_WINDOWS
    static const bool attached = []
    {
        if (AttachConsole (ATTACH_PARENT_PROCESS) == 0)
            return false;

        if (_fileno (stdout) < 0)
            std::freopen ("CONOUT$", "w", stdout);

        if (_fileno (stderr) < 0)
            std::freopen ("CONOUT$", "w", stderr);

        return true;
    }();
    juce::ignoreUnused (attached);
#endif
}
} // namespace

void Console::out (const juce::String& text)
{
    reachCallersConsole();
    std::cout << text.toStdString() << std::flush;
}

void Console::error (const juce::String& line)
{
    reachCallersConsole();
    std::cerr << (programName() + ": " + line).toStdString() << std::endl;
}

void Console::step (const juce::String& line)
{
    static std::mutex lock;
    const auto now = juce::Time::getCurrentTime();
    const auto text = programName() + ": " + now.formatted ("%H:%M:%S.") +
                      juce::String (now.getMilliseconds()).paddedLeft ('0', 3) + " " + line + "\n";

    reachCallersConsole();
    const std::lock_guard<std::mutex> guard (lock);
    std::cerr << text.toStdString() << std::flush;
}

juce::String Console::programName()
{
    return juce::File::getSpecialLocation (juce::File::currentExecutableFile).getFileNameWithoutExtension();
}

} // namespace app
