#pragma once

#include <string>

namespace bench
{

/**
    The updater's footprint through a whole unattended update: the demo build (the
    application with the simulated pedal inside) runs as a child with --autoupdate;
    its peak resident memory is read from /proc while it runs and from the kernel
    when it ends. Also prints its CPU share over the whole run, window painting
    included, and the block gaps its pedal saw. Needs a display (xvfb-run).
*/
class MemoryBench
{
public:
    /** True when the update succeeded and the peak stayed under the target. */
    static bool run (const std::string& demoPath);

    static constexpr double peakTargetMb = 60.0;
};

} // namespace bench
