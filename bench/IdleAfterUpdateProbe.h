#pragma once

namespace bench
{

/**
    The child side of the "idle after an update" figure: runs the real application
    under the framework's runner, unattended, against the simulated pedal on the
    in-process bus (the demo build's code), and keeps the window open for
    `idleSeconds` after the result instead of closing it, so that the benchmark can
    read what the finished window costs while nothing happens.
*/
class IdleAfterUpdateProbe
{
public:
    /** The process's exit code: the application's (0 when the pedal took the image). */
    static int run (int idleSeconds);
};

} // namespace bench
