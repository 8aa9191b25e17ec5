#pragma once

namespace bench
{

/**
    The updater's single-instance guard, seen from outside: a second start while an
    updater runs ends at once with exit code 0, which would spoil a figure. The
    benchmark waits until no updater (a test, the demo, the shipped one) holds it.
*/
class InstanceGuard
{
public:
    /** True once no process holds the guard; false when one still does after `timeoutMs`. */
    static bool waitUntilFree (double timeoutMs);

    /** True when another process holds the guard now. */
    static bool isHeld();
};

} // namespace bench
