#include "tools/pedal/ArrivalTimes.h"

#include <algorithm>
#include <cmath>

namespace pedal
{

ArrivalTimes::Gaps ArrivalTimes::gaps() const
{
    Gaps result;
    if (blockTimesMs.size() < 2)
        return result;

    std::vector<double> g;
    for (size_t i = 1; i < blockTimesMs.size(); ++i)
        g.push_back (blockTimesMs[i] - blockTimesMs[i - 1]);

    std::sort (g.begin(), g.end());

    // Nearest-rank percentiles.
    auto rank = [&g] (double p)
    {
        const auto n = static_cast<size_t> (std::ceil (p * static_cast<double> (g.size())));
        return g[std::min (g.size() - 1, n == 0 ? 0 : n - 1)];
    };

    result.count = static_cast<int> (g.size());
    result.minMs = g.front();
    result.medianMs = rank (0.5);
    result.p99Ms = rank (0.99);
    result.maxMs = g.back();
    return result;
}

} // namespace pedal
