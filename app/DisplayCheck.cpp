#include "app/DisplayCheck.h"

#include <juce_gui_basics/juce_gui_basics.h>

#if JUCE_WINDOWS
#include <windows.h>
#endif

namespace app
{

bool displayAvailable()
{
    if (juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() == nullptr)
        return false;

#if JUCE_WINDOWS
    // Wine lists a monitor even when no display driver could be loaded (a wineserver
    // whose desktop was made by a process started without a display keeps Wine's null
    // driver for every later process), and then refuses every top-level window; the
    // framework does not check the window it asks for and crashes on the null handle.
    // A hidden window of the system's own class shows whether windows can be made.
    auto* probe = CreateWindowExW (0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                   GetModuleHandleW (nullptr), nullptr);
    if (probe == nullptr)
        return false;

    DestroyWindow (probe);
#endif

    return true;
}

} // namespace app
