#pragma once

namespace app
{

/** True when the program can put a window on a display. Without one the framework
    would crash while placing or creating the main window. */
bool displayAvailable();

} // namespace app
