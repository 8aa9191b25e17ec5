#pragma once

namespace app
{

/** Windows: when the program was started from a console (cmd.exe, PowerShell), lets its
    standard output and error reach that console, unless they are redirected already.
    Elsewhere the streams are the terminal's from the start, and this does nothing. */
void attachToParentConsole();

} // namespace app
