#include "app/ParentConsole.h"

#include <juce_core/system/juce_TargetPlatform.h>

#if JUCE_WINDOWS
#include <cstdio>
#include <windows.h>
#endif

namespace app
{

void attachToParentConsole()
{
#if JUCE_WINDOWS
    // A window program has no console of its own, so whatever it writes is lost unless it
    // joins its parent's. JUCE does this for programs built with MSVC only; the MinGW
    // build does it here, the same way.
    if (AttachConsole (ATTACH_PARENT_PROCESS) == 0)
        return;

    if (_fileno (stdout) < 0)
        std::freopen ("CONOUT$", "w", stdout);

    if (_fileno (stderr) < 0)
        std::freopen ("CONOUT$", "w", stderr);
#endif
}

} // namespace app
