// repaint-window: asks the updater's window ("Firmware Updater") to repaint itself, as
// Windows does after each vertical blank. JUCE on Windows repaints only then, and Wine 8.0
// reports no vertical blank (its DXGI WaitForVBlank is a stub), so under Wine the window
// keeps its first frame; screenshot.sh uses this before it takes a picture.
#include <windows.h>

int main()
{
    auto* window = FindWindowW (nullptr, L"Firmware Updater");

    if (window == nullptr)
        return 1;

    return InvalidateRect (window, nullptr, FALSE) ? 0 : 2;
}
