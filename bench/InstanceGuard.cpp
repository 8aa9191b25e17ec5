#include "bench/InstanceGuard.h"

#include "bench/Clock.h"

#include <chrono>
#include <fcntl.h>
#include <iostream>
#include <string>
#include <thread>
#include <unistd.h>

namespace bench
{

namespace
{
/** Where the framework keeps the lock of an application named "Corvane by morvell":
    a file in /var/tmp (or /tmp) locked with fcntl while the application runs. */
std::string guardFile()
{
    const std::string name = "juceAppLock_Corvane by morvell";
    return access ("/var/tmp", W_OK) == 0 ? "/var/tmp/" + name : "/tmp/" + name;
}
} // namespace

bool InstanceGuard::isHeld()
{
    const int handle = open (guardFile().c_str(), O_RDONLY);
    if (handle < 0)
        return false; // never created: nobody has run an updater here

    // Ask whether a write lock could be taken, without taking it.
    struct flock query = {};
    query.l_type = F_WRLCK;
    query.l_whence = SEEK_SET;
    const bool held = fcntl (handle, F_GETLK, &query) == 0 && query.l_type != F_UNLCK;

    close (handle);
    return held;
}

bool InstanceGuard::waitUntilFree (double timeoutMs)
{
    const auto end = Clock::nowMs() + timeoutMs;
    bool told = false;

    while (isHeld())
    {
        if (Clock::nowMs() > end)
            return false;

        if (!told)
            std::cout << "# another updater is running; waiting for it to end" << std::endl;
        told = true;
        std::this_thread::sleep_for (std::chrono::milliseconds (200));
    }
    return true;
}

} // namespace bench
