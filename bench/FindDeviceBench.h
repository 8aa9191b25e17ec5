#pragma once

namespace bench
{

/**
    What the search for the pedal costs beyond its fixed probe wait: the real
    transport's findDevice over the simulated bus with 1, 8 and 32 silent port pairs
    listed before the pedal, each search repeated; prints the cost per candidate pair.
*/
class FindDeviceBench
{
public:
    /** True when every search found the pedal. */
    static bool run (int repeats);
};

} // namespace bench
