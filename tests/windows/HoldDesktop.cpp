// Keeps a Wine desktop alive: started without a display, it makes its wineserver's
// desktop one without a display driver, and holds it for the given seconds (default 30)
// so that the programs started meanwhile share it. Says so on standard output once it does.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main (int argc, char** argv)
{
    GetDesktopWindow();
    std::puts ("holding the desktop");
    std::fflush (stdout);
    Sleep (static_cast<DWORD> (1000 * (argc > 1 ? std::atoi (argv[1]) : 30)));
    return 0;
}
