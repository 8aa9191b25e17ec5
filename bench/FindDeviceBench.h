#pragma once

namespace bench
{

/**
    How long the search for the pedal takes: the real transport's findDevice over the
    simulated bus with 1, 8 and 32 silent port pairs listed before the pedal and as
    many after it, each search repeated; prints the median search.
*/
class FindDeviceBench
{
public:
    /** True when every search found the pedal within the target. */
    static bool run (int repeats);

    /** One probe wait (300 ms) for all pairs, a second for late answers once the pedal
        has answered, and room for opening them. */
    static constexpr double searchTargetMs = 1000.0;
};

} // namespace bench
